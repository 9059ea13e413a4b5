# Device layers: sound output, MIDI input, message box.

# Without any device: the failure paths (no JACK server, no ALSA device), the
# message box, and the pure helpers of the layers.
add_executable(device_tests test_devices.cpp)
target_link_libraries(device_tests PRIVATE synth_platform GTest::gtest_main)
gtest_discover_tests(device_tests DISCOVERY_TIMEOUT 60 PROPERTIES LABELS devices)

# The sound output on ALSA, into a file instead of a device.
add_executable(device_alsa_tests test_devices_alsa.cpp)
target_link_libraries(device_alsa_tests PRIVATE synth_platform GTest::gtest_main)
gtest_discover_tests(device_alsa_tests DISCOVERY_TIMEOUT 60 PROPERTIES LABELS devices)

# A JACK server of the test's own with the dummy back-end, MIDI in and audio
# out for real (about 30 s).
add_library(jack_harness STATIC jack_harness.cpp)
target_link_libraries(jack_harness PUBLIC PkgConfig::JACK GTest::gtest)
add_executable(device_jack_tests test_devices_jack.cpp)
target_link_libraries(device_jack_tests PRIVATE synth_platform jack_harness GTest::gtest_main)
gtest_discover_tests(device_jack_tests DISCOVERY_TIMEOUT 60 PROPERTIES LABELS devices RUN_SERIAL TRUE)

# Figures, not a test: latency from note-on to sound, and xruns over a minute
# of dense chords. Run build/device_measure [seconds].
add_executable(device_measure device_measure.cpp)
target_link_libraries(device_measure PRIVATE synth_platform jack_harness)

# The real program under JACK servers of the test's own: sample-accurate
# timing at 64 and 1024 frames, the choice of MIDI sources, SIGTERM.
add_executable(live_tests test_live_timing.cpp)
target_link_libraries(live_tests PRIVATE synth_core jack_harness GTest::gtest_main)
target_compile_definitions(live_tests PRIVATE SYNTH_PROGRAM="$<TARGET_FILE:synth>")
add_dependencies(live_tests synth)
gtest_discover_tests(live_tests DISCOVERY_TIMEOUT 60 PROPERTIES LABELS devices RUN_SERIAL TRUE)

# The live program's command line, arrival placement and message queue; the
# queue's hand-over between threads also under ThreadSanitizer.
add_executable(live_parts_tests test_live_parts.cpp)
target_link_libraries(live_parts_tests PRIVATE synth_live_options GTest::gtest_main)
gtest_discover_tests(live_parts_tests DISCOVERY_TIMEOUT 60 TEST_FILTER -MessageQueue.*)
gtest_discover_tests(live_parts_tests DISCOVERY_TIMEOUT 60 TEST_FILTER MessageQueue.*
  PROPERTIES LABELS concurrency)
