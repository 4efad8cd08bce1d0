file(GLOB _audio_tests CONFIGURE_DEPENDS ${CMAKE_CURRENT_LIST_DIR}/audio/*.cpp)
add_executable(test_audio ${_audio_tests})
target_link_libraries(test_audio PRIVATE silvane_audio GTest::gtest_main)
target_include_directories(test_audio PRIVATE ${CMAKE_CURRENT_LIST_DIR}/platform)
gtest_discover_tests(test_audio TEST_PREFIX "audio." DISCOVERY_TIMEOUT 60
  PROPERTIES ENVIRONMENT "SILVANE_AUDIO=virtual")

# silvane-cli devices/play/record, run as programs (real time, about 1 s).
if(TARGET silvane-cli)
  add_executable(test_audio_cli ${CMAKE_CURRENT_LIST_DIR}/audio/cli/AudioCliTest.cpp)
  target_link_libraries(test_audio_cli PRIVATE silvane_platform silvane_soundfile GTest::gtest_main)
  target_compile_definitions(test_audio_cli PRIVATE SILVANE_CLI="$<TARGET_FILE:silvane-cli>")
  add_dependencies(test_audio_cli silvane-cli)
  gtest_discover_tests(test_audio_cli TEST_PREFIX "audio_cli." DISCOVERY_TIMEOUT 60)
endif()
