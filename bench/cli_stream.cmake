# Helper of the bench/cli_stream script: the engine alone, and a plain copy.
add_executable(cli_stream_baselines ${CMAKE_CURRENT_LIST_DIR}/cli_stream_baselines.cpp)
target_link_libraries(cli_stream_baselines PRIVATE silvane_processing silvane_soundfile)
