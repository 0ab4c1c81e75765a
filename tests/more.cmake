# Benchmark of the flight loop: built with the tests, never run as one.
find_package(benchmark QUIET)
if(benchmark_FOUND)
  add_executable(bench_flight ${CMAKE_CURRENT_SOURCE_DIR}/bench/bench_flight.cpp)
  target_link_libraries(bench_flight PRIVATE driverlib benchmark::benchmark)
  target_compile_definitions(bench_flight PRIVATE ZOT_TEST_DATA="${CMAKE_CURRENT_SOURCE_DIR}/data"
                             ZOT_SOURCE_DIR="${CMAKE_SOURCE_DIR}")
  set_target_properties(bench_flight PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR})
endif()

# Regression tests of the faults found by fuzzing and by the output-file review.
zot_unit_tests(test_fuzz_regressions fuzz_regressions driverlib)

# The velocity-overshoot example (dynamic run) and its plot script.
add_test(NAME example.overshoot
  COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/examples/test_overshoot.sh $<TARGET_FILE:zot> ${CMAKE_SOURCE_DIR})
set_tests_properties(example.overshoot PROPERTIES TIMEOUT 600)
