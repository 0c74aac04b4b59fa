svc_print_file(NAME gzksen2.tmp SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/make_gzksen2.cpp LIBS svc_fake_outside)
