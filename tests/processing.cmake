file(GLOB _processing_tests CONFIGURE_DEPENDS ${CMAKE_CURRENT_LIST_DIR}/processing/*.cpp)
add_executable(test_processing ${_processing_tests})
target_link_libraries(test_processing PRIVATE silvane_processing silvane_soundfile GTest::gtest_main)
gtest_discover_tests(test_processing TEST_PREFIX "processing." DISCOVERY_TIMEOUT 60)
