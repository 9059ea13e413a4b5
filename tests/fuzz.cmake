# The fuzz targets (tests/fuzz/), each replayed over its corpus in every build
# by a small main of our own. Fuzzing itself needs clang's libFuzzer: see
# scripts/fuzz.sh and tests/fuzz/fuzzers.cmake.
include(${CMAKE_SOURCE_DIR}/files/media.cmake)
foreach(target midi_file instrument_file engine)
  add_executable(replay_${target} fuzz/fuzz_${target}.cpp fuzz/replay_main.cpp)
  target_link_libraries(replay_${target} PRIVATE synth_media synth_core)
  add_test(NAME fuzz_corpus.${target}
           COMMAND replay_${target} ${CMAKE_CURRENT_SOURCE_DIR}/fuzz/corpus/${target})
  set_tests_properties(fuzz_corpus.${target} PROPERTIES LABELS fuzz)
endforeach()
