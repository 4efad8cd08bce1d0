file(GLOB _soundfile_tests CONFIGURE_DEPENDS ${CMAKE_CURRENT_LIST_DIR}/soundfile/*.cpp)
add_executable(test_soundfile ${_soundfile_tests})
target_link_libraries(test_soundfile PRIVATE silvane_soundfile GTest::gtest_main)
target_compile_definitions(test_soundfile PRIVATE
  SILVANE_TEST_DATA_DIR="${SILVANE_TEST_DATA_DIR}")
gtest_discover_tests(test_soundfile TEST_PREFIX "soundfile." DISCOVERY_TIMEOUT 60)
target_compile_definitions(test_soundfile PRIVATE
  SILVANE_FUZZ_CORPUS="${CMAKE_SOURCE_DIR}/fuzz/corpus/wav")
