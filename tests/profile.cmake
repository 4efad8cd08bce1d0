file(GLOB _profile_tests CONFIGURE_DEPENDS ${CMAKE_CURRENT_LIST_DIR}/profile/*.cpp)
add_executable(test_profile ${_profile_tests})
target_link_libraries(test_profile PRIVATE silvane_profile GTest::gtest_main)
gtest_discover_tests(test_profile TEST_PREFIX "profile." DISCOVERY_TIMEOUT 60)
