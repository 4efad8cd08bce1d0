add_executable(display_refresh ${CMAKE_CURRENT_LIST_DIR}/display_refresh.cpp)
target_link_libraries(display_refresh PRIVATE silvane_display benchmark::benchmark)
