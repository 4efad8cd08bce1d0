# test_engine: the veldra noise-reduction library through its C interface.
if(TARGET veldra)
  file(GLOB _engine_test_sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_LIST_DIR}/engine/*.cpp)
  # The network's inference and the transforms are also compiled in directly, to test them
  # below the C interface (the network against the training framework's golden vectors).
  add_executable(test_engine ${_engine_test_sources}
    ${PROJECT_SOURCE_DIR}/engine/NeuralNet.cpp ${PROJECT_SOURCE_DIR}/engine/NeuralWeights.cpp
    ${PROJECT_SOURCE_DIR}/engine/RealFft.cpp)
  veldra_embed_weights()
  target_link_libraries(test_engine PRIVATE veldra GTest::gtest_main)
  target_compile_definitions(test_engine PRIVATE SILVANE_CORPUS_DIR="${SILVANE_CORPUS_DIR}"
    SILVANE_ENGINE_TEST_DATA="${CMAKE_CURRENT_LIST_DIR}/engine/data")
  gtest_discover_tests(test_engine TEST_PREFIX "engine." DISCOVERY_TIMEOUT 60)

  # The inference and the transforms once more with only their portable versions: a processor
  # with AVX2 runs the other versions above, and would otherwise never test these.
  add_executable(test_engine_portable
    ${CMAKE_CURRENT_LIST_DIR}/engine/NeuralTest.cpp ${CMAKE_CURRENT_LIST_DIR}/engine/FftTest.cpp
    ${PROJECT_SOURCE_DIR}/engine/NeuralNet.cpp ${PROJECT_SOURCE_DIR}/engine/NeuralWeights.cpp
    ${PROJECT_SOURCE_DIR}/engine/RealFft.cpp)
  target_link_libraries(test_engine_portable PRIVATE veldra GTest::gtest_main)
  target_compile_definitions(test_engine_portable PRIVATE VELDRA_PORTABLE_ONLY
    SILVANE_CORPUS_DIR="${SILVANE_CORPUS_DIR}"
    SILVANE_ENGINE_TEST_DATA="${CMAKE_CURRENT_LIST_DIR}/engine/data")
  # (Only the tests below the C interface: the others run the library, which chooses for itself.)
  gtest_discover_tests(test_engine_portable TEST_PREFIX "engine-portable." DISCOVERY_TIMEOUT 60
    TEST_FILTER "NeuralGolden.*:NeuralFeatures.*:RealFft.*")
endif()
