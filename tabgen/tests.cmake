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
