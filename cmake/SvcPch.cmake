# Precompiled headers (SVC_PCH). The outside headers most files include are
# compiled once and reused by every target that includes them:
#   GTEST   GoogleTest and GoogleMock, for the GoogleTest executables (about a
#           second of each test file's compilation at -O0);
#   STD     the standard library's most used headers, for the libraries
#           without Qt, in clang builds (about half a second a file at -O0;
#           GCC 12 at -O2 then reports its known false array-bounds and
#           stringop warnings from inside the header's std::string);
#   QT      the Qt Widgets headers of the windows and panels, for the Qt
#           libraries and programs (about 1.3 s a file);
#   QTTEST  the same at the test code's optimisation, for the QtTest executables.
# A reused header must have been made with the code-generation flags of the
# file that uses it: every target that uses one is compiled as
# position-independent code (-fPIC, which Qt asks for anyway), and the test
# headers are made with the test code's optimisation (svc_test_code_options).
#
# svc_use_pch(target GTEST|STD|QT|QTTEST)
#     the target reuses that header (where this build makes it);
# svc_pch_optimised(target)
#     the target is compiled at -O1 under the sanitizers
#     (svc_optimise_under_sanitizers): it takes the header made so.

set(SVC_STD_PCH_HEADERS
  <algorithm> <array> <chrono> <cstdint> <cstring> <functional> <map> <memory> <optional> <sstream> <string>
  <string_view> <vector>)
set(SVC_QT_PCH_HEADERS
  <QApplication> <QWidget> <QLabel> <QPushButton> <QGroupBox> <QLineEdit> <QCheckBox> <QComboBox>
  <QVBoxLayout> <QTimer> <QString>)

# The one source of the targets the headers are made for.
file(CONFIGURE OUTPUT ${CMAKE_BINARY_DIR}/svc_pch.cpp
     CONTENT "// The target the shared headers are precompiled for.\n")

# svc_pch_target(NAME name HEADERS h... LIBS lib... [TEST] [OPTIONS o...])
function(svc_pch_target)
  cmake_parse_arguments(P "TEST" "NAME" "HEADERS;LIBS;OPTIONS" ${ARGN})
  add_library(${P_NAME} OBJECT ${CMAKE_BINARY_DIR}/svc_pch.cpp)
  target_link_libraries(${P_NAME} PRIVATE ${P_LIBS})
  if(P_TEST)
    svc_test_code_options(${P_NAME})
  endif()
  target_compile_options(${P_NAME} PRIVATE -fPIC ${P_OPTIONS})
  target_precompile_headers(${P_NAME} PRIVATE ${P_HEADERS})
endfunction()

if(SVC_PCH)
  svc_pch_target(NAME svc_gtest_pch TEST HEADERS <gtest/gtest.h> <gmock/gmock.h> LIBS GTest::gtest GTest::gmock)
  set(std_pch OFF)
  if(CMAKE_CXX_COMPILER_ID MATCHES "Clang")
    set(std_pch ON)
    svc_pch_target(NAME svc_std_pch HEADERS ${SVC_STD_PCH_HEADERS})
  endif()
  if(SVC_SANITIZE)
    svc_pch_target(NAME svc_gtest_pch_o1 HEADERS <gtest/gtest.h> <gmock/gmock.h> LIBS GTest::gtest GTest::gmock
                   OPTIONS $<$<CONFIG:Debug>:-O1>)
    if(std_pch)
      svc_pch_target(NAME svc_std_pch_o1 HEADERS ${SVC_STD_PCH_HEADERS} OPTIONS $<$<CONFIG:Debug>:-O1>)
    endif()
  endif()
  if(TARGET Qt6::Widgets)
    svc_pch_target(NAME svc_qt_pch HEADERS ${SVC_QT_PCH_HEADERS} LIBS Qt6::Widgets)
    # QtTest's own headers stay out: they use QT_TESTCASE_BUILDDIR, which
    # names each test's own build folder.
    svc_pch_target(NAME svc_qttest_pch TEST HEADERS ${SVC_QT_PCH_HEADERS} LIBS Qt6::Widgets)
  endif()
endif()

function(svc_use_pch target kind)
  string(TOLOWER "svc_${kind}_pch" pch)
  if(SVC_PCH AND TARGET ${pch})
    target_compile_options(${target} PRIVATE -fPIC)
    target_precompile_headers(${target} REUSE_FROM ${pch})
  endif()
endfunction()

function(svc_pch_optimised target)
  get_target_property(pch ${target} PRECOMPILE_HEADERS_REUSE_FROM)
  if(pch MATCHES "^svc_(gtest|std)_pch$" AND TARGET ${pch}_o1)
    set_target_properties(${target} PROPERTIES PRECOMPILE_HEADERS_REUSE_FROM ${pch}_o1)
    add_dependencies(${target} ${pch}_o1)
  endif()
endfunction()
