file(GLOB _store_tests CONFIGURE_DEPENDS ${CMAKE_CURRENT_LIST_DIR}/store/*.cpp)
add_executable(test_store ${_store_tests})
target_link_libraries(test_store PRIVATE silvane_store GTest::gtest_main)
gtest_discover_tests(test_store TEST_PREFIX "store." DISCOVERY_TIMEOUT 60)
