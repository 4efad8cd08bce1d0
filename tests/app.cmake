if(TARGET silvane_mainwindow)
  file(GLOB _app_tests CONFIGURE_DEPENDS ${CMAKE_CURRENT_LIST_DIR}/app/*.cpp)
  add_executable(test_app ${_app_tests})
  target_link_libraries(test_app PRIVATE silvane_mainwindow Qt6::Test GTest::gtest)
  target_compile_definitions(test_app PRIVATE
    SILVANE_SOURCE_DIR="${CMAKE_SOURCE_DIR}"
    SILVANE_CLI="$<TARGET_FILE:silvane-cli>")
  add_dependencies(test_app silvane-cli)
  gtest_discover_tests(test_app TEST_PREFIX "app." DISCOVERY_TIMEOUT 60
    PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen")
endif()
