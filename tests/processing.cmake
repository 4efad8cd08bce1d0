file(GLOB _processing_tests CONFIGURE_DEPENDS ${CMAKE_CURRENT_LIST_DIR}/processing/*.cpp)
add_executable(test_processing ${_processing_tests})
target_link_libraries(test_processing PRIVATE silvane_processing silvane_soundfile GTest::gtest_main)
target_include_directories(test_processing PRIVATE ${CMAKE_CURRENT_LIST_DIR}/soundfile)
target_compile_definitions(test_processing PRIVATE
  SILVANE_SOURCE_DIR="${CMAKE_SOURCE_DIR}"
  SILVANE_CLI="$<TARGET_FILE:silvane-cli>")
add_dependencies(test_processing silvane-cli)
gtest_discover_tests(test_processing TEST_PREFIX "processing." DISCOVERY_TIMEOUT 60)
