# test_engine: the veldra noise-reduction library through its C interface.
if(TARGET veldra)
  file(GLOB _engine_test_sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_LIST_DIR}/engine/*.cpp)
  add_executable(test_engine ${_engine_test_sources})
  target_link_libraries(test_engine PRIVATE veldra GTest::gtest_main)
  target_compile_definitions(test_engine PRIVATE SILVANE_CORPUS_DIR="${SILVANE_CORPUS_DIR}")
  gtest_discover_tests(test_engine TEST_PREFIX "engine." DISCOVERY_TIMEOUT 60)
endif()
