add_executable(wav_read ${CMAKE_CURRENT_LIST_DIR}/wav_read.cpp)
target_link_libraries(wav_read PRIVATE silvane_soundfile benchmark::benchmark)
