# The control panel: the dialog table, its procedures drawing into a memory
# bitmap, and save and load through real files. No display needed.
add_executable(panel_tests
  test_panel_table.cpp
  test_panel_widgets.cpp
  test_panel_files.cpp)
target_link_libraries(panel_tests PRIVATE synth_panel GTest::gtest_main)
gtest_discover_tests(panel_tests DISCOVERY_TIMEOUT 60)
