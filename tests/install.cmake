# Installing and packaging: where the installed program looks for its data;
# in plain builds also `cmake --install` under another prefix and under
# DESTDIR, and the Debian package made by cpack, installed and run.
add_executable(install_tests test_data_files.cpp)
target_link_libraries(install_tests PRIVATE synth_data_files GTest::gtest_main)
gtest_discover_tests(install_tests DISCOVERY_TIMEOUT 60 PROPERTIES LABELS install)

if(NOT SYNTH_SANITIZE STREQUAL "")
  return()
endif()
add_test(NAME install_tree
  COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/install_test.sh ${CMAKE_BINARY_DIR} ${CMAKE_INSTALL_PREFIX})
add_test(NAME debian_package COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/package_test.sh ${CMAKE_BINARY_DIR})
set_tests_properties(install_tree debian_package PROPERTIES TIMEOUT 300 LABELS install)
