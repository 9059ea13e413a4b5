# The factory instruments and the demonstration tune, as the build wrote them.
include(${CMAKE_SOURCE_DIR}/files/media.cmake)
add_executable(factory_tests test_factory.cpp)
target_link_libraries(factory_tests PRIVATE synth_factory synth_media GTest::gtest_main)
target_compile_definitions(factory_tests PRIVATE
  FACTORY_TABLE="${SYNTH_FACTORY_TABLE}"
  FACTORY_DIR="${SYNTH_FACTORY_DIR}"
  FACTORY_README="${CMAKE_SOURCE_DIR}/factory/README.md"
  DEMO_MIDI="${SYNTH_DEMO_MIDI}")
add_dependencies(factory_tests factory_instruments demo_tune)
gtest_discover_tests(factory_tests DISCOVERY_TIMEOUT 60)
