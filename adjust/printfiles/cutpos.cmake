svc_print_file(NAME cutpos.prn SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/make_cutpos.cpp LIBS svc_fake_outside)
