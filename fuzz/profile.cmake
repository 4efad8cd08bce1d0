add_executable(fuzz_profile profile_fuzz.cpp)
target_compile_options(fuzz_profile PRIVATE -fsanitize=fuzzer)
target_link_options(fuzz_profile PRIVATE -fsanitize=fuzzer)
target_link_libraries(fuzz_profile PRIVATE silvane_settings)
