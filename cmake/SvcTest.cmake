# svc_add_test(NAME name SOURCES a.cpp b.cpp LIBS lib1 lib2 [QT] [TIMEOUT seconds])
# Builds a GoogleTest (or, with QT, a QtTest) executable and registers it with CTest.
#
# Every test has a deadline, so that a slowdown (a wait that became longer, a
# loop that no longer ends) fails the test instead of passing late or holding
# the run up. Each case of a GoogleTest executable is a CTest test of its own
# and gets SVC_TEST_TIMEOUT seconds; a QtTest executable runs all its cases in
# one test and gets SVC_QT_TEST_TIMEOUT. A test known to take longer has its
# own in SVC_LONG_TEST_TIMEOUTS (or passes TIMEOUT). Sanitizer builds run
# several times slower: there every deadline is multiplied by
# SVC_SANITIZE_TIMEOUT_FACTOR. (In a normal build the slowest GoogleTest case
# takes about 15 s, the slowest QtTest executable about 4 s.)
set(SVC_TEST_TIMEOUT 60 CACHE STRING "Seconds a GoogleTest case may take (CTest TIMEOUT)")
set(SVC_QT_TEST_TIMEOUT 120 CACHE STRING "Seconds a QtTest executable may take (CTest TIMEOUT)")
set(SVC_SANITIZE_TIMEOUT_FACTOR 4 CACHE STRING "Deadline factor for sanitizer builds")
# Test executables known to take long, each followed by its deadline:
# svc_cli_ServiceOps_test runs the service sequences end to end against a
# standalone printer that takes real time (2 to 15 s a case).
set(SVC_LONG_TEST_TIMEOUTS svc_cli_ServiceOps_test 180)
# The tests that take longest, started first (their COST) so that no core
# waits on one of them alone at the end of a run. CTest orders by the times
# of earlier runs once it has them; a fresh build folder (CI) has none.
set(SVC_SLOW_TESTS
  svc_pagereader_degraded_test svc_pagereader_pages_test svc_adjust_Technician_test svc_cli_ServiceOps_test
  svc_journal_session_test svc_journal_kill_test svc_journal_kill_Postgres_test
  svc_gui_host_test vprinter_panel_page_test svc_ui_page_reading_test package_build)
# Optimisation for the test executables' own sources in optimised builds
# (empty: the build's).
set(SVC_TEST_CODE_OPT -O0 CACHE STRING "Optimisation flag for the code of the test executables")

# The deadline for a test whose own is `seconds`, in this build.
function(svc_test_timeout out seconds)
  if(SVC_SANITIZE)
    math(EXPR seconds "${seconds} * ${SVC_SANITIZE_TIMEOUT_FACTOR}")
  endif()
  set(${out} ${seconds} PARENT_SCOPE)
endfunction()

# A test's own code is compiled without optimisation: the code under test
# (the libraries it links) keeps the build's flags, and a test file compiles
# in half the time (GoogleTest's macros are costly to optimise). For test
# executables made with add_executable; svc_add_test calls it itself.
function(svc_test_code_options target)
  if(SVC_TEST_CODE_OPT)
    target_compile_options(${target} PRIVATE $<$<NOT:$<CONFIG:Debug>>:${SVC_TEST_CODE_OPT}>)
  endif()
endfunction()

function(svc_add_test)
  cmake_parse_arguments(T "QT" "NAME;TIMEOUT" "SOURCES;LIBS" ${ARGN})
  add_executable(${T_NAME} ${T_SOURCES})
  svc_test_code_options(${T_NAME})
  # A test sees the headers of its own folder and of what it links.
  target_include_directories(${T_NAME} PRIVATE ${SVC_SOURCE_ROOT})
  target_link_libraries(${T_NAME} PRIVATE ${T_LIBS})
  # The outside libraries may be named before the static libraries that call
  # them; keep them linked whatever the order.
  target_link_options(${T_NAME} PRIVATE "LINKER:--no-as-needed")
  list(FIND SVC_LONG_TEST_TIMEOUTS ${T_NAME} long)
  if(NOT T_TIMEOUT AND long GREATER_EQUAL 0)
    math(EXPR long "${long} + 1")
    list(GET SVC_LONG_TEST_TIMEOUTS ${long} T_TIMEOUT)
  endif()
  if(NOT T_TIMEOUT)
    if(T_QT)
      set(T_TIMEOUT ${SVC_QT_TEST_TIMEOUT})
    else()
      set(T_TIMEOUT ${SVC_TEST_TIMEOUT})
    endif()
  endif()
  svc_test_timeout(timeout ${T_TIMEOUT})
  set(cost 0)
  if(T_NAME IN_LIST SVC_SLOW_TESTS)
    set(cost 100)
  endif()
  if(T_QT)
    target_link_libraries(${T_NAME} PRIVATE Qt6::Test)
    svc_use_pch(${T_NAME} QTTEST)
    # The windows take the developer's locale; the tests expect the texts as
    # written (LANGUAGE names no catalogue of ours).
    set_target_properties(${T_NAME} PROPERTIES AUTOMOC ON)
    add_test(NAME ${T_NAME} COMMAND ${T_NAME})
    set_tests_properties(${T_NAME} PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen;LANGUAGE=en" TIMEOUT ${timeout}
                         COST ${cost})
  else()
    target_link_libraries(${T_NAME} PRIVATE GTest::gtest GTest::gmock GTest::gtest_main)
    svc_use_pch(${T_NAME} GTEST)
    gtest_discover_tests(${T_NAME} DISCOVERY_MODE PRE_TEST
                         PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen" TIMEOUT ${timeout} COST ${cost})
  endif()
endfunction()

# Gives every test of the calling folder that was added with add_test and
# has no TIMEOUT of its own the GoogleTest deadline, and those of
# SVC_SLOW_TESTS their COST. Called at the end of a folder's CMakeLists.txt
# (tests can only be changed in their own folder).
function(svc_default_test_properties)
  get_directory_property(tests TESTS)
  svc_test_timeout(timeout ${SVC_TEST_TIMEOUT})
  foreach(test ${tests})
    get_test_property(${test} TIMEOUT own)
    if(NOT own)
      set_tests_properties(${test} PROPERTIES TIMEOUT ${timeout})
    endif()
    if(test IN_LIST SVC_SLOW_TESTS)
      set_tests_properties(${test} PROPERTIES COST 100)
    endif()
  endforeach()
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

# svc_optimise_under_sanitizers(target...)
# The sanitizer build is a Debug build; these targets are compiled with -O1
# there all the same: the libraries that draw and measure whole pages pixel by
# pixel, and the page tests whose own code does too. At -O0 the page tests
# spent most of their time there (the sanitizers still check every access at
# -O1).
function(svc_optimise_under_sanitizers)
  if(SVC_SANITIZE)
    foreach(target ${ARGN})
      target_compile_options(${target} PRIVATE $<$<CONFIG:Debug>:-O1>)
      svc_pch_optimised(${target})
    endforeach()
  endif()
endfunction()

# svc_hand_tools(target...)
# Programs only run by hand (the pictures of the docs, the reader's corpus):
# the sanitizer build, which is there for the tests, does not make them
# unless asked by name; the normal build makes them, so they keep compiling.
function(svc_hand_tools)
  if(SVC_SANITIZE)
    set_target_properties(${ARGN} PROPERTIES EXCLUDE_FROM_ALL TRUE)
  endif()
endfunction()
