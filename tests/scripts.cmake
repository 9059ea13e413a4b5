# The scripts' own logic that needs no build: the Windows build's deb-src
# lists from either form of apt sources.
add_test(NAME deb_src_lists COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/deb_src_lists_test.sh)
