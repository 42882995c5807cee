# Small helpers so that each folder's CMakeLists.txt stays a list of its own targets.

# Adds each folder that has a CMakeLists.txt of its own.
function(vexil_add_subdirectories)
  foreach(dir IN LISTS ARGN)
    if(EXISTS ${CMAKE_CURRENT_SOURCE_DIR}/${dir}/CMakeLists.txt)
      add_subdirectory(${dir})
    endif()
  endforeach()
endfunction()

# vexil_folder_headers(target folder [PRIVATE]): the target, and with PUBLIC (the default)
# whatever links it, includes the folder's headers as "folder/name.h". Each folder is reached
# through a directory of its own that holds only a link to it, so a header of a layer that
# the target does not link is not found and a wrong include fails the build.
function(vexil_folder_headers target folder)
  set(scope PUBLIC)
  if(ARGN STREQUAL "PRIVATE")
    set(scope PRIVATE)
  endif()
  set(root ${PROJECT_BINARY_DIR}/include/${folder})
  if(NOT EXISTS ${root}/${folder})
    file(MAKE_DIRECTORY ${root})
    file(CREATE_LINK ${PROJECT_SOURCE_DIR}/${folder} ${root}/${folder} SYMBOLIC)
  endif()
  target_include_directories(${target} ${scope} ${root})
endfunction()

# vexil_add_test(NAME SOURCES a.cpp ... LIBS lib ... [GUI] [LABELS l ...] [ENVIRONMENT K=V ...]
#                [FIXTURES fixture ...] [WRAPPER command ...])
# One GoogleTest executable; its cases are registered with CTest one by one.
# GUI tests run on Qt's offscreen platform. No test sees the user's session bus, and so no
# test reaches the user's keyring; WRAPPER runs the program through a command of its own
# (tests/support/with-session-bus.sh gives it a private bus).
function(vexil_add_test name)
  cmake_parse_arguments(T "GUI" "TIMEOUT" "SOURCES;LIBS;LABELS;ENVIRONMENT;FIXTURES;WRAPPER" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE ${T_LIBS} GTest::gtest GTest::gmock GTest::gtest_main)
  vexil_folder_headers(${name} tests PRIVATE)
  set(env "DBUS_SESSION_BUS_ADDRESS=unix:path=/nonexistent/vexil-tests-use-no-session-bus"
          ${T_ENVIRONMENT} "VEXIL_SOURCE_DIR=${PROJECT_SOURCE_DIR}" "VEXIL_BINARY_DIR=${PROJECT_BINARY_DIR}")
  if(T_GUI)
    list(APPEND env "QT_QPA_PLATFORM=offscreen")
  endif()
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 300)
  endif()
  # The environment reaches the tests through `cmake -E env` as their launcher: a list given
  # as the ENVIRONMENT property of gtest_discover_tests keeps only its first entry.
  set_property(TARGET ${name} PROPERTY CROSSCOMPILING_EMULATOR ${CMAKE_COMMAND} -E env ${env} ${T_WRAPPER})
  set(props TIMEOUT ${T_TIMEOUT})
  if(T_LABELS)
    list(APPEND props LABELS "${T_LABELS}")
  endif()
  if(T_FIXTURES)
    list(APPEND props FIXTURES_REQUIRED "${T_FIXTURES}")
  endif()
  gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60 PROPERTIES ${props})
  if(VEXIL_PCH)
    if(T_GUI AND TARGET Qt6::Test)
      # QtTest's headers read the folder-specific QT_TESTCASE_* definitions, so each folder
      # has its own Qt header set, and every Qt test links QtTest so that the definitions match.
      target_link_libraries(${name} PRIVATE Qt6::Test)
      file(RELATIVE_PATH folder ${PROJECT_SOURCE_DIR} ${CMAKE_CURRENT_SOURCE_DIR})
      string(MAKE_C_IDENTIFIER "${folder}" folder)
      vexil_test_pch(${name} vexil_pch_qt_${folder} QT)
    else()
      vexil_test_pch(${name} vexil_pch_gtest)
    endif()
  endif()
endfunction()

# vexil_test_pch(target host [QT]): target compiles with the precompiled headers of host, a
# program of nothing else made on first use. One precompiled set is shared by many tests, so
# its flags must be theirs: host is an executable like them, and with QT links what they link.
function(vexil_test_pch target host)
  if(NOT TARGET ${host})
    set(headers <gtest/gtest.h> <gmock/gmock.h> <algorithm> <chrono> <filesystem> <fstream>
                <functional> <map> <memory> <set> <string> <thread> <vector>)
    add_executable(${host} ${PROJECT_SOURCE_DIR}/cmake/PchHost.cpp)
    target_link_libraries(${host} PRIVATE GTest::gtest GTest::gmock GTest::gtest_main)
    if(ARGN STREQUAL "QT")
      target_link_libraries(${host} PRIVATE Qt6::Widgets Qt6::Test)
      list(APPEND headers <QAction> <QApplication> <QCheckBox> <QComboBox> <QImage> <QLabel>
                          <QLineEdit> <QMenuBar> <QMessageBox> <QPushButton> <QScrollArea>
                          <QStatusBar> <QTest> <QTimer> <QToolButton> <QWidget>)
    endif()
    target_precompile_headers(${host} PRIVATE ${headers})
  endif()
  target_precompile_headers(${target} REUSE_FROM ${host})
  # GCC forgets that the headers of a precompiled set are system headers, so its false alarms
  # in them (std::string copies, snprintf, GoogleTest's if-else macros) come back.
  if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
    target_compile_options(${target} PRIVATE -Wno-array-bounds -Wno-stringop-overflow
                                             -Wno-dangling-else -Wno-format-truncation)
  endif()
endfunction()

# vexil_add_fuzzer(NAME SOURCE file.cpp LIBS lib ...)
# With VEXIL_FUZZ the target is a libFuzzer binary, run by tools/run-fuzzers.sh from its
# seed corpus fuzz/corpus/NAME. In the ordinary builds the same entry point is linked with a
# replay driver and every file of fuzz/corpus/NAME and fuzz/regressions/NAME becomes a test,
# so each crash once found stays fixed.
function(vexil_add_fuzzer name)
  cmake_parse_arguments(F "" "SOURCE" "LIBS" ${ARGN})
  if(VEXIL_FUZZ)
    add_executable(${name} ${F_SOURCE})
    target_link_libraries(${name} PRIVATE ${F_LIBS})
    target_link_options(${name} PRIVATE -fsanitize=fuzzer)
    set_property(GLOBAL APPEND PROPERTY VEXIL_FUZZERS ${name})
  elseif(VEXIL_TESTS)
    add_executable(${name}_replay ${F_SOURCE} ${PROJECT_SOURCE_DIR}/fuzz/ReplayMain.cpp)
    target_link_libraries(${name}_replay PRIVATE ${F_LIBS})
    add_test(NAME fuzz_replay.${name}
             COMMAND ${name}_replay ${PROJECT_SOURCE_DIR}/fuzz/corpus/${name}
                     ${PROJECT_SOURCE_DIR}/fuzz/regressions/${name})
    set_tests_properties(fuzz_replay.${name} PROPERTIES TIMEOUT 300 LABELS fuzz)
  endif()
endfunction()

# vexil_add_bench(NAME SOURCES a.cpp ... LIBS lib ...): a Google Benchmark executable.
function(vexil_add_bench name)
  cmake_parse_arguments(B "" "" "SOURCES;LIBS" ${ARGN})
  find_package(benchmark REQUIRED)
  add_executable(${name} ${B_SOURCES})
  target_link_libraries(${name} PRIVATE ${B_LIBS} benchmark::benchmark)
  vexil_folder_headers(${name} bench PRIVATE)
endfunction()
