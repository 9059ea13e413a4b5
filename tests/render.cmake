# Rendering: the shipped renderer against the reference (golden audio, random
# streams, ten minutes of held notes).
include(${CMAKE_CURRENT_LIST_DIR}/oracle.cmake)

add_executable(render_tests test_golden.cpp test_osc_kernels.cpp)
target_link_libraries(render_tests PRIVATE synth_oracle synth_core GTest::gtest_main)
gtest_discover_tests(render_tests DISCOVERY_TIMEOUT 60 PROPERTIES TIMEOUT 900)

# The offline renderer: MIDI and WAV files, and the real synth-render program
# run on generated files.
include(${CMAKE_SOURCE_DIR}/files/media.cmake)
add_executable(offline_tests test_offline.cpp test_midi_reader.cpp)
target_link_libraries(offline_tests PRIVATE synth_media synth_oracle synth_core GTest::gtest_main util)
target_compile_definitions(offline_tests PRIVATE SYNTH_RENDER="$<TARGET_FILE:synth-render>")
add_dependencies(offline_tests synth-render)
gtest_discover_tests(offline_tests DISCOVERY_TIMEOUT 60)

# The block renderer with notes and parameter moves on other threads; also
# built with ThreadSanitizer.
add_executable(render_thread_tests test_render_threads.cpp)
target_link_libraries(render_thread_tests PRIVATE synth_oracle synth_core GTest::gtest_main)
gtest_discover_tests(render_thread_tests DISCOVERY_TIMEOUT 60 PROPERTIES LABELS concurrency)

# Seeded random tunes for comparing renderers across systems
# (tests/windows_render_test.sh).
add_executable(random_tune tools/random_tune.cpp)
target_include_directories(random_tune PRIVATE ${CMAKE_SOURCE_DIR})
set_target_properties(random_tune PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tools)

# The engine calls no C library function whose bits differ between systems.
add_test(NAME engine_links_exact_math COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/engine_math_test.sh $<TARGET_FILE:synth_core>)
