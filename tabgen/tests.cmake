# Unit tests of the table generator (tests/tabgen), a test program of their own.
file(GLOB tabgen_test_srcs CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/tabgen/*.cpp)
if(tabgen_test_srcs)
  find_package(GTest REQUIRED)
  include(GoogleTest)
  enable_testing()
  add_executable(test_tabgen ${tabgen_test_srcs})
  target_link_libraries(test_tabgen PRIVATE tabgenlib tables klip GTest::gtest GTest::gtest_main)
  target_compile_definitions(test_tabgen PRIVATE
    ZOT_SOURCE_DIR="${CMAKE_SOURCE_DIR}"
    TABGEN_EXE="$<TARGET_FILE:tabgen>"
    ZOT_EXE="$<TARGET_FILE:zot>")
  add_dependencies(test_tabgen tabgen zot)
  gtest_discover_tests(test_tabgen WORKING_DIRECTORY ${CMAKE_BINARY_DIR} DISCOVERY_TIMEOUT 60)
endif()

# End-to-end: each hole and alloy material through tabgen and a low-field zot run.
if(NOT DEFINED BUILD_TESTING OR BUILD_TESTING)
  foreach(case "si_h.mat 2 1e14 1.0 465 0.2" "gaas_h.mat 2 1e14 1.0 400 0.2"
              "ingaas.mat 1 1e15 0.5 12500 0.2" "algaas.mat 1 5e15 1.0 2300 0.2")
    separate_arguments(args UNIX_COMMAND "${case}")
    list(GET args 0 matfile)
    add_test(NAME e2e.mobility.${matfile}
      COMMAND bash ${CMAKE_SOURCE_DIR}/tests/e2e/material_mobility.sh $<TARGET_FILE:zot> $<TARGET_FILE:tabgen>
              ${CMAKE_SOURCE_DIR} ${args})
  endforeach()
endif()
