# silvane-cli run as a user runs it: clean, batch, info and convert on small
# generated files (test_cli), devices/play/record on the virtual card in real
# time (test_audio_cli).
if(TARGET silvane-cli)
  file(GLOB _cli_tests CONFIGURE_DEPENDS ${CMAKE_CURRENT_LIST_DIR}/cli/*.cpp)
  list(REMOVE_ITEM _cli_tests ${CMAKE_CURRENT_LIST_DIR}/cli/AudioCliTest.cpp)
  add_executable(test_cli ${_cli_tests})
  target_link_libraries(test_cli PRIVATE silvane_processing silvane_soundfile GTest::gtest_main)
  target_compile_definitions(test_cli PRIVATE
    SILVANE_SOURCE_DIR="${CMAKE_SOURCE_DIR}"
    SILVANE_CLI="$<TARGET_FILE:silvane-cli>")
  add_dependencies(test_cli silvane-cli)
  gtest_discover_tests(test_cli TEST_PREFIX "cli." DISCOVERY_TIMEOUT 60
    PROPERTIES ENVIRONMENT "LSAN_OPTIONS=suppressions=${CMAKE_CURRENT_LIST_DIR}/cli/lsan.supp:print_suppressions=0")

  add_executable(test_audio_cli ${CMAKE_CURRENT_LIST_DIR}/cli/AudioCliTest.cpp)
  target_link_libraries(test_audio_cli PRIVATE silvane_platform silvane_soundfile GTest::gtest_main)
  target_compile_definitions(test_audio_cli PRIVATE SILVANE_CLI="$<TARGET_FILE:silvane-cli>")
  add_dependencies(test_audio_cli silvane-cli)
  gtest_discover_tests(test_audio_cli TEST_PREFIX "audio_cli." DISCOVERY_TIMEOUT 60)
endif()
