# The control panel: the dialog table, its procedures drawing into a memory
# bitmap, and save and load through real files. No display needed.
add_executable(panel_tests
  test_panel_table.cpp
  test_panel_widgets.cpp
  test_panel_files.cpp
  test_panel_pixels.cpp)
include(${CMAKE_CURRENT_LIST_DIR}/oracle.cmake)
target_link_libraries(panel_tests PRIVATE synth_panel synth_panel_art synth_oracle GTest::gtest_main)
gtest_discover_tests(panel_tests DISCOVERY_TIMEOUT 60)

# Listens to the program's output on the test's JACK server.
find_package(PkgConfig REQUIRED)
pkg_check_modules(JACK REQUIRED IMPORTED_TARGET jack)
add_executable(jack_tap tools/jack_tap.cpp)
target_link_libraries(jack_tap PRIVATE PkgConfig::JACK)
set_target_properties(jack_tap PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tools)

# Takes the screen away from full-screen programs, and presses a window's
# close button.
find_package(X11 REQUIRED)
add_executable(x_window tools/x_window.cpp)
target_link_libraries(x_window PRIVATE X11::X11)
set_target_properties(x_window PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tools)

# The real program on a real X server (Xvfb) driven by xdotool, with a JACK
# server of its own; skipped when build/synth or a tool is missing.
add_test(NAME panel_end_to_end COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/panel_e2e.sh ${CMAKE_BINARY_DIR})
set_tests_properties(panel_end_to_end PROPERTIES SKIP_RETURN_CODE 77 TIMEOUT 300 LABELS e2e)
target_compile_definitions(panel_tests PRIVATE SYNTH_PICTURE="${CMAKE_BINARY_DIR}/synth.bmp")
