file(GLOB _display_tests CONFIGURE_DEPENDS ${CMAKE_CURRENT_LIST_DIR}/display/*.cpp)
add_executable(test_display ${_display_tests})
target_link_libraries(test_display PRIVATE silvane_display GTest::gtest_main)
gtest_discover_tests(test_display TEST_PREFIX "display." DISCOVERY_TIMEOUT 60)
