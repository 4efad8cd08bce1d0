if(TARGET silvane_config)
  find_package(Qt6 REQUIRED COMPONENTS Widgets Test)
  file(GLOB _config_tests CONFIGURE_DEPENDS ${CMAKE_CURRENT_LIST_DIR}/config/*.cpp)
  add_executable(test_config ${_config_tests})
  set_target_properties(test_config PROPERTIES AUTOMOC ON)
  target_link_libraries(test_config PRIVATE silvane_config silvane_platform Qt6::Test GTest::gtest)
  target_compile_definitions(test_config PRIVATE
    SILVANE_PROFILE_CORPUS="${CMAKE_SOURCE_DIR}/fuzz/corpus/profile"
    SILVANE_RESOURCES_DIR="${CMAKE_SOURCE_DIR}/resources"
    SILVANE_CONFIG_DATA="${CMAKE_CURRENT_LIST_DIR}/config/data")
  gtest_discover_tests(test_config TEST_PREFIX "config." DISCOVERY_TIMEOUT 60
    PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen")
endif()
