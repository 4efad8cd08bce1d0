file(GLOB _audio_tests CONFIGURE_DEPENDS ${CMAKE_CURRENT_LIST_DIR}/audio/*.cpp)
add_executable(test_audio ${_audio_tests})
target_link_libraries(test_audio PRIVATE silvane_audio silvane_soundfile GTest::gtest_main)
gtest_discover_tests(test_audio TEST_PREFIX "audio." DISCOVERY_TIMEOUT 60
  PROPERTIES ENVIRONMENT "SILVANE_AUDIO=virtual")
