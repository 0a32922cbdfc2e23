# The Windows build's tests: built with the cross toolchain, run under Wine
# (scripts/test-windows.sh). GoogleTest is built from Debian's sources.
set(TALLYRUN_GTEST_SOURCE /usr/src/googletest CACHE PATH "GoogleTest sources")
set(gtest_force_shared_crt ON CACHE BOOL "" FORCE)
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
add_subdirectory(${TALLYRUN_GTEST_SOURCE} ${CMAKE_CURRENT_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)

function(tallyrun_add_windows_test name)
  cmake_parse_arguments(T "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE ${T_LIBS} gtest_main)
  target_link_options(${name} PRIVATE -static)
  add_test(NAME ${name} COMMAND ${name})
endfunction()

add_library(tallyrun_win32_test_support STATIC win32_test_support.cc test_support.cc)
target_link_libraries(tallyrun_win32_test_support PUBLIC tallyrun_platform)
target_include_directories(tallyrun_win32_test_support PUBLIC ${PROJECT_SOURCE_DIR})
target_compile_definitions(tallyrun_win32_test_support PUBLIC UNICODE _UNICODE WIN32_LEAN_AND_MEAN
                                                              NOMINMAX)

# Test programs sit beside Tallyrun.exe (CMAKE_RUNTIME_OUTPUT_DIRECTORY).
tallyrun_add_windows_test(win32_platform_test SOURCES platform_test.cc
                          LIBS tallyrun_platform tallyrun_win32_test_support)
tallyrun_add_windows_test(win32_app_test SOURCES app_test.cc
                          LIBS tallyrun_win32_test_support)
add_dependencies(win32_app_test tallyrun)
# The windows' rules, on an operating system held in memory, as on Linux.
add_library(tallyrun_memory_env STATIC memory_env.cc)
target_link_libraries(tallyrun_memory_env PUBLIC tallyrun_core)
tallyrun_add_windows_test(ui_main_test SOURCES ui_main_test.cc
                          LIBS tallyrun_forms tallyrun_memory_env)
tallyrun_add_windows_test(ui_dialogs_test SOURCES ui_dialogs_test.cc
                          LIBS tallyrun_forms tallyrun_memory_env)

# The windows, driven in the test's own process; Explorer is played by a
# copy of the test program that notes how it was started.
tallyrun_add_windows_test(win32_ui_test SOURCES win32_ui_test.cc
                          LIBS tallyrun_win32ui tallyrun_win32_test_support)
add_dependencies(win32_ui_test tallyrun)
