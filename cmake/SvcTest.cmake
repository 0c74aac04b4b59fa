# svc_add_test(NAME name SOURCES a.cpp b.cpp LIBS lib1 lib2 [QT])
# Builds a GoogleTest (or, with QT, a QtTest) executable and registers it with CTest.
function(svc_add_test)
  cmake_parse_arguments(T "QT" "NAME" "SOURCES;LIBS" ${ARGN})
  add_executable(${T_NAME} ${T_SOURCES})
  target_link_libraries(${T_NAME} PRIVATE ${T_LIBS})
  # The outside libraries may be named before the static libraries that call
  # them; keep them linked whatever the order.
  target_link_options(${T_NAME} PRIVATE "LINKER:--no-as-needed")
  if(T_QT)
    target_link_libraries(${T_NAME} PRIVATE Qt6::Test)
    add_test(NAME ${T_NAME} COMMAND ${T_NAME})
    set_tests_properties(${T_NAME} PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen")
  else()
    target_link_libraries(${T_NAME} PRIVATE GTest::gtest GTest::gmock GTest::gtest_main)
    gtest_discover_tests(${T_NAME} DISCOVERY_MODE PRE_TEST
                         PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen")
  endif()
endfunction()

# svc_add_exports_test(library SYMBOL...)
# Registers NAME_exports: the built shared library's dynamic symbol table
# (nm -D --defined-only) holds exactly the listed symbols.
function(svc_add_exports_test lib)
  find_program(SVC_NM NAMES ${CMAKE_NM} nm)
  if(NOT SVC_NM)
    message(STATUS "${lib}: nm not found (binutils); the exports test is skipped")
    return()
  endif()
  string(REPLACE ";" "\\;" expected "${ARGN}")
  add_test(NAME ${lib}_exports
    COMMAND ${CMAKE_COMMAND} -DNM=${SVC_NM} -DLIBRARY=$<TARGET_FILE:${lib}> "-DEXPECTED=${expected}"
            -P ${PROJECT_SOURCE_DIR}/cmake/CheckExports.cmake)
endfunction()
