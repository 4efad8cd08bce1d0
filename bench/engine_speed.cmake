# engine_speed: frames per second of the veldra engine per method and rate, and
# the speexdsp preprocessor on the same audio in the same run.
find_package(PkgConfig REQUIRED)
pkg_check_modules(SPEEXDSP IMPORTED_TARGET speexdsp)
if(TARGET veldra AND SPEEXDSP_FOUND)
  add_executable(engine_speed ${CMAKE_CURRENT_LIST_DIR}/engine_speed.cpp)
  target_link_libraries(engine_speed PRIVATE veldra PkgConfig::SPEEXDSP benchmark::benchmark)
endif()
