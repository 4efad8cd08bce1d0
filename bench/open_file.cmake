# The main window's Open command on a long file; needs the window library.
if(TARGET silvane_mainwindow)
  add_executable(open_file ${CMAKE_CURRENT_LIST_DIR}/open_file.cpp)
  target_link_libraries(open_file PRIVATE silvane_mainwindow benchmark::benchmark)
endif()
