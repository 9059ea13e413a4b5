# The libFuzzer targets alone, built with clang, AddressSanitizer and
# UndefinedBehaviorSanitizer (the top-level SYNTH_FUZZERS build, which
# scripts/fuzz.sh configures). Each target replays its corpus and then fuzzes
# for FUZZ_SECONDS; what it finds goes to found/ and crashes/ in the build.
include(CheckCXXSourceCompiles)
set(CMAKE_REQUIRED_FLAGS -fsanitize=fuzzer)
check_cxx_source_compiles([[
#include <cstddef>
#include <cstdint>
extern "C" int LLVMFuzzerTestOneInput(const uint8_t*, size_t) { return 0; }
]] SYNTH_HAVE_LIBFUZZER)
unset(CMAKE_REQUIRED_FLAGS)
if(NOT SYNTH_HAVE_LIBFUZZER)
  message(FATAL_ERROR "The fuzz targets need clang with libFuzzer (Debian: clang, libclang-rt-dev)")
endif()

include(${CMAKE_SOURCE_DIR}/files/media.cmake)
enable_testing()
set(FUZZ_SECONDS 4 CACHE STRING "Seconds each fuzz target runs in the test suite")
set(fuzz_dir ${CMAKE_SOURCE_DIR}/tests/fuzz)
foreach(target midi_file instrument_file engine)
  add_executable(fuzz_${target} ${fuzz_dir}/fuzz_${target}.cpp)
  target_link_libraries(fuzz_${target} PRIVATE synth_media synth_core)
  target_link_options(fuzz_${target} PRIVATE -fsanitize=fuzzer)
  file(MAKE_DIRECTORY ${CMAKE_BINARY_DIR}/found/${target} ${CMAKE_BINARY_DIR}/crashes)
  set(corpus ${fuzz_dir}/corpus/${target})
  set(options -timeout=10 -rss_limit_mb=2048 -artifact_prefix=${CMAKE_BINARY_DIR}/crashes/${target}-)
  # Every input of the corpus whole, then new ones of at most 8 KB.
  add_test(NAME fuzz_corpus.${target} COMMAND fuzz_${target} ${options} -runs=0 ${corpus})
  add_test(NAME fuzz.${target}
           COMMAND fuzz_${target} ${options} -max_len=8192 -max_total_time=${FUZZ_SECONDS}
                   ${CMAKE_BINARY_DIR}/found/${target} ${corpus})
  set_tests_properties(fuzz_corpus.${target} fuzz.${target} PROPERTIES LABELS fuzz)
endforeach()
