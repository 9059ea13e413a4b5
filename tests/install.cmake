# Installing (plain builds only): where the installed program looks for its data.
if(NOT SYNTH_SANITIZE STREQUAL "")
  return()
endif()

add_executable(install_tests test_data_files.cpp)
target_link_libraries(install_tests PRIVATE synth_data_files GTest::gtest_main)
gtest_discover_tests(install_tests DISCOVERY_TIMEOUT 60 PROPERTIES LABELS install)
