# The two kinds of test suite, one rule each; a folder's CMakeLists names its
# test folder and what the tests link, nothing more. Without PARLUX_TESTS
# both rules do nothing.
#
#   parlux_add_core_tests(target folder [OWN_MAIN] [QT] ...)
#     The GoogleTest files of folder, linked to LIBS and the test helpers,
#     with GoogleTest's main unless OWN_MAIN (a file of the folder has its
#     own). QT: the suite uses Qt classes (moc, the offscreen platform).
#
#   parlux_add_window_tests(target folder ...)
#     The window tests of folder: one QApplication on the offscreen platform
#     for all of them (QtTestMain), and the Qt test helpers.
#
# Both take: LIBS (what the tests link), SOURCES (more files, such as a
# fixture of the core tests), DEPENDS (programs the tests run, built first),
# DEFINITIONS (compile definitions), PROPERTIES (more CTest properties of
# every test), SERIAL suite (the tests of that GoogleTest suite, for example
# a program's tests that share its run log in bin/, run one at a time and
# never beside another test that holds PARLUX_PROGRAM_FOLDER_LOCK; the other
# tests run beside them).
include_guard(GLOBAL)

# What the tests that run the built programs from bin/ and read their run logs
# there hold while they run.
set(PARLUX_PROGRAM_FOLDER_LOCK parlux_program_folder_run_logs)
# They run one after the other, the longest chain of the run: started first
# (the highest COST), the other tests fill the cores around them.
set(PARLUX_PROGRAM_FOLDER_COST 30)

option(PARLUX_LEAN_TESTS "Build the test programs quickly: several files a compiler run, no optimisation or debug information" OFF)
set(PARLUX_LEAN_TESTS_BATCH 6 CACHE STRING "Test files compiled together when PARLUX_LEAN_TESTS is on")
# Not in the ci preset: its compile commands are clang-tidy's, and clang
# cannot read the compiler's precompiled headers.
option(PARLUX_TEST_PCH "Read the test framework's, the loopback server's and Qt's headers once for all the test programs (precompiled headers)" OFF)

# What most test files include, compiled once per kind of test program by
# parlux_test_pch (core tests) and parlux_qt_test_pch (tests with Qt), and
# reused by every test program of that kind.
set(PARLUX_TEST_PCH_HEADERS
  <gtest/gtest.h> <httplib.h> <algorithm> <chrono> <filesystem> <functional> <map> <memory> <mutex> <string>
  <thread> <vector>)
set(PARLUX_QT_TEST_PCH_HEADERS
  <QAbstractButton> <QAction> <QApplication> <QGroupBox> <QLabel> <QLineEdit> <QMenu> <QProcess> <QPushButton>
  <QRadioButton> <QTest> <QTimer> <QWidget>)
# Qt's test header reads which Qt modules a program links: every program with
# Qt tests links these, as the windows' own libraries do.
set(PARLUX_QT_TEST_PCH_MODULES Qt6::Network Qt6::Svg)

# Test code is built to run once: without optimisation or debug information,
# and, in the sanitizer build, with AddressSanitizer only. The undefined
# behaviour checks stay on the programs' own code, where they find faults; on
# the test framework's templates they doubled the compile time.
function(parlux_lean_test_code target)
  if(NOT PARLUX_LEAN_TESTS)
    return()
  endif()
  target_compile_options(${target} PRIVATE -O0 -g0)
  if(PARLUX_SANITIZE)
    target_compile_options(${target} PRIVATE -fno-sanitize=undefined)
  endif()
endfunction()

# A precompiled header is taken only with the very macros it was made with.
# Qt's test library defines its test case's folders per CMake folder; no test
# asks Qt for its data files, so they are left undefined. -fpch-preprocess
# lets the compiler cache see which precompiled header a file was built with.
function(_parlux_test_pch_options target qt)
  target_compile_options(${target} PRIVATE -fpch-preprocess)
  if(qt)
    target_compile_options(${target} PRIVATE -UQT_TESTCASE_BUILDDIR -UQT_TESTCASE_SOURCEDIR)
  endif()
endfunction()

# The owners of the two precompiled headers, built with the flags of the test
# programs; made before any folder's tests (the top CMakeLists.txt calls it).
function(parlux_add_test_pch)
  if(NOT PARLUX_TEST_PCH OR NOT PARLUX_TESTS)
    return()
  endif()
  set(source ${CMAKE_CURRENT_BINARY_DIR}/parlux_test_pch.cpp)
  file(CONFIGURE OUTPUT ${source} CONTENT "// The test programs' precompiled headers are made with this file's flags.\n")
  foreach(kind test qt_test)
    add_library(parlux_${kind}_pch OBJECT ${source})
    parlux_lean_test_code(parlux_${kind}_pch)
  endforeach()
  target_link_libraries(parlux_test_pch PRIVATE parlux_testsupport)
  target_precompile_headers(parlux_test_pch PRIVATE ${PARLUX_TEST_PCH_HEADERS})
  _parlux_test_pch_options(parlux_test_pch FALSE)
  target_link_libraries(parlux_qt_test_pch PRIVATE parlux_qt_testsupport ${PARLUX_QT_TEST_PCH_MODULES})
  target_precompile_headers(parlux_qt_test_pch PRIVATE ${PARLUX_TEST_PCH_HEADERS} ${PARLUX_QT_TEST_PCH_HEADERS})
  _parlux_test_pch_options(parlux_qt_test_pch TRUE)
endfunction()

function(_parlux_add_test_suite target folder)
  cmake_parse_arguments(ARG "QT" "SERIAL" "LIBS;DEPENDS;PROPERTIES;SOURCES;DEFINITIONS" ${ARGN})
  file(GLOB sources CONFIGURE_DEPENDS ${folder}/*.cpp)
  if(NOT PARLUX_TESTS OR NOT sources)
    return()
  endif()
  add_executable(${target} ${sources} ${ARG_SOURCES})
  target_link_libraries(${target} PRIVATE ${ARG_LIBS})
  target_compile_definitions(${target} PRIVATE ${ARG_DEFINITIONS})
  if(ARG_DEPENDS)
    add_dependencies(${target} ${ARG_DEPENDS})
  endif()
  if(PARLUX_LEAN_TESTS)
    # A few test files a compiler run, so that the test framework's and Qt's
    # headers are read once per batch.
    set_target_properties(${target} PROPERTIES UNITY_BUILD ON UNITY_BUILD_BATCH_SIZE ${PARLUX_LEAN_TESTS_BATCH})
  endif()
  parlux_lean_test_code(${target})
  if(PARLUX_TEST_PCH)
    if(ARG_QT)
      target_precompile_headers(${target} REUSE_FROM parlux_qt_test_pch)
      target_link_libraries(${target} PRIVATE ${PARLUX_QT_TEST_PCH_MODULES})
    else()
      target_precompile_headers(${target} REUSE_FROM parlux_test_pch)
    endif()
    _parlux_test_pch_options(${target} "${ARG_QT}")
    # Mostly empty: loading the precompiled header would cost it seconds.
    set_source_files_properties(${CMAKE_CURRENT_BINARY_DIR}/${target}_autogen/mocs_compilation.cpp
      PROPERTIES SKIP_PRECOMPILE_HEADERS ON)
  endif()
  set(properties ${ARG_PROPERTIES})
  if(ARG_QT)
    set_target_properties(${target} PROPERTIES AUTOMOC ON)
    list(PREPEND properties ENVIRONMENT "QT_QPA_PLATFORM=offscreen")
  endif()
  if(ARG_SERIAL)
    gtest_discover_tests(${target} DISCOVERY_TIMEOUT 30 TEST_FILTER "-${ARG_SERIAL}.*" PROPERTIES ${properties})
    gtest_discover_tests(${target} DISCOVERY_TIMEOUT 30 TEST_FILTER "${ARG_SERIAL}.*"
      PROPERTIES ${properties} RESOURCE_LOCK ${PARLUX_PROGRAM_FOLDER_LOCK} COST ${PARLUX_PROGRAM_FOLDER_COST} TIMEOUT 120)
  elseif(properties)
    gtest_discover_tests(${target} DISCOVERY_TIMEOUT 30 PROPERTIES ${properties})
  else()
    gtest_discover_tests(${target} DISCOVERY_TIMEOUT 30)
  endif()
endfunction()

# A keyword given twice adds to its list, so the rules below append their own
# LIBS to the caller's.
function(parlux_add_core_tests target folder)
  cmake_parse_arguments(ARG "OWN_MAIN" "" "" ${ARGN})
  if(ARG_OWN_MAIN)
    set(main GTest::gtest)
  else()
    set(main GTest::gtest_main)
  endif()
  _parlux_add_test_suite(${target} ${folder} ${ARG_UNPARSED_ARGUMENTS} LIBS parlux_testsupport ${main})
endfunction()

function(parlux_add_window_tests target folder)
  _parlux_add_test_suite(${target} ${folder} QT ${ARGN} LIBS parlux_qt_test_main parlux_qt_testsupport)
endfunction()
