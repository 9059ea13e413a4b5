# Rendering: the shipped renderer against the reference (golden audio, random
# streams, ten minutes of held notes).
include(${CMAKE_CURRENT_LIST_DIR}/oracle.cmake)

add_executable(render_tests test_golden.cpp test_osc_kernels.cpp)
target_link_libraries(render_tests PRIVATE synth_oracle synth_core GTest::gtest_main)
gtest_discover_tests(render_tests DISCOVERY_TIMEOUT 60 PROPERTIES TIMEOUT 900)
