# The plugin in every format, in hosts of our own (plugin_hosts, liblilv for
# LV2), against synth-render; lv2_validate on its LV2 description.
find_package(PkgConfig REQUIRED)
if(NOT TARGET PkgConfig::LILV)
  pkg_check_modules(LILV REQUIRED IMPORTED_TARGET GLOBAL lilv-0)
endif()
add_executable(plugin_tests test_plugin.cpp test_plugin_library.cpp lv2_host.cpp)
target_link_libraries(plugin_tests PRIVATE plugin_hosts synth_programs synth_media synth_core PkgConfig::LILV
  GTest::gtest_main)
target_compile_definitions(plugin_tests PRIVATE SYNTH_RENDER="$<TARGET_FILE:synth-render>"
  SYNTH_FACTORY_DIR="${SYNTH_FACTORY_DIR}")
add_dependencies(plugin_tests synth-render factory_instruments)
gtest_discover_tests(plugin_tests DISCOVERY_TIMEOUT 60 PROPERTIES LABELS plugin)

find_program(LV2_VALIDATE lv2_validate)
if(LV2_VALIDATE)
  add_test(NAME Plugin.DescriptionIsValid COMMAND sh -c
    "out=$(${LV2_VALIDATE} ${SYNTH_LV2_BUNDLE}/*.ttl 2>&1); echo \"$out\" | tail -3; echo \"$out\" | grep -q 'Found 0 errors'")
  set_tests_properties(Plugin.DescriptionIsValid PROPERTIES LABELS plugin)
endif()

# The plugin in jalv, on a JACK server of the test's own. Not in sanitizer
# builds: a plugin built with a sanitizer cannot load into a host without one.
find_program(JALV jalv)
if(JALV AND SYNTH_SANITIZE STREQUAL "")
  add_executable(plugin_jalv_tests test_plugin_jalv.cpp)
  target_link_libraries(plugin_jalv_tests PRIVATE synth_core jack_harness GTest::gtest_main)
  get_filename_component(lv2_dir ${SYNTH_LV2_BUNDLE} DIRECTORY)
  target_compile_definitions(plugin_jalv_tests PRIVATE SYNTH_LV2_DIR="${lv2_dir}")
  add_dependencies(plugin_jalv_tests synth_lv2)
  gtest_discover_tests(plugin_jalv_tests DISCOVERY_TIMEOUT 60
    PROPERTIES LABELS "plugin;devices" RUN_SERIAL TRUE)
  # The plugin's own window in jalv.gtk3 on Xvfb, against the program's panel.
  add_test(NAME plugin_window_end_to_end COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/plugin_ui_e2e.sh ${CMAKE_BINARY_DIR})
  set_tests_properties(plugin_window_end_to_end PROPERTIES SKIP_RETURN_CODE 77 TIMEOUT 300
    LABELS "plugin;e2e" RUN_SERIAL TRUE)
endif()

# The VST3 plugin in Ardour 7 (headless: its scanner, ardour7-lua and
# ardour7-export), its export against synth-render; about 6 s. Not in
# sanitizer builds, for the same reason as jalv.
find_program(ARDOUR_LUA ardour7-lua)
find_program(ARDOUR_EXPORT ardour7-export)
find_program(ARDOUR_VST3_SCANNER ardour-vst3-scanner PATHS /usr/lib/ardour7 NO_DEFAULT_PATH)
if(ARDOUR_LUA AND ARDOUR_EXPORT AND ARDOUR_VST3_SCANNER AND SYNTH_SANITIZE STREQUAL "")
  get_filename_component(ardour_lib_dir ${ARDOUR_VST3_SCANNER} DIRECTORY)
  add_executable(plugin_ardour_tests test_plugin_ardour.cpp)
  target_link_libraries(plugin_ardour_tests PRIVATE synth_media synth_core GTest::gtest_main)
  target_compile_definitions(plugin_ardour_tests PRIVATE SYNTH_RENDER="$<TARGET_FILE:synth-render>"
    SYNTH_VST3_BUNDLE="${SYNTH_VST3_BUNDLE}" SYNTH_ARDOUR_SCRIPT="${CMAKE_CURRENT_SOURCE_DIR}/ardour_session.lua"
    ARDOUR_LUA="${ARDOUR_LUA}" ARDOUR_EXPORT="${ARDOUR_EXPORT}" ARDOUR_VST3_SCANNER="${ARDOUR_VST3_SCANNER}"
    ARDOUR_LIB_DIR="${ardour_lib_dir}")
  add_dependencies(plugin_ardour_tests synth-render synth_vst3)
  gtest_discover_tests(plugin_ardour_tests DISCOVERY_TIMEOUT 60 PROPERTIES LABELS plugin TIMEOUT 240)
endif()
