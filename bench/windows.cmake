# The Windows benchmark: built with the cross toolchain, run under Wine by
# scripts/test-windows.sh --bench, never by CTest.
add_executable(win32_baseline_record win32_baseline_record.c)
# A GUI-subsystem program like Tallyrun.exe, so both start the same way.
set_target_properties(win32_baseline_record PROPERTIES WIN32_EXECUTABLE ON)
target_link_options(win32_baseline_record PRIVATE -municode -static -s)

add_executable(win32_bench_record_one_item win32_record_one_item.cc)
target_compile_definitions(win32_bench_record_one_item PRIVATE UNICODE _UNICODE WIN32_LEAN_AND_MEAN
                                                               NOMINMAX)
target_link_options(win32_bench_record_one_item PRIVATE -static)
add_dependencies(win32_bench_record_one_item tallyrun win32_baseline_record)

add_executable(win32_window_bench win32_window_bench.cc)
target_link_libraries(win32_window_bench PRIVATE tallyrun_win32ui)
target_link_options(win32_window_bench PRIVATE -static)
