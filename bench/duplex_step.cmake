# duplex_step: the live engine step of full duplex against real time.
add_executable(duplex_step ${CMAKE_CURRENT_LIST_DIR}/duplex_step.cpp)
target_link_libraries(duplex_step PRIVATE silvane_audio benchmark::benchmark)
