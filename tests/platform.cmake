file(GLOB _platform_tests CONFIGURE_DEPENDS ${CMAKE_CURRENT_LIST_DIR}/platform/*.cpp)
add_executable(test_platform ${_platform_tests})
target_link_libraries(test_platform PRIVATE silvane_platform GTest::gtest_main)
gtest_discover_tests(test_platform TEST_PREFIX "platform." DISCOVERY_TIMEOUT 60
  PROPERTIES ENVIRONMENT "SILVANE_AUDIO=virtual")
