# build/synth: the synthesizer program, with its picture synth.bmp beside it.

# The picture is drawn by a small program of our own at build time.
add_executable(make_picture ${CMAKE_CURRENT_LIST_DIR}/make_picture.cpp)
set_target_properties(make_picture PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tools)
add_custom_command(OUTPUT ${CMAKE_BINARY_DIR}/synth.bmp
  COMMAND make_picture ${CMAKE_BINARY_DIR}/synth.bmp
  DEPENDS make_picture
  COMMENT "Drawing synth.bmp")
add_custom_target(synth_picture ALL DEPENDS ${CMAKE_BINARY_DIR}/synth.bmp)

add_executable(synth ${CMAKE_CURRENT_LIST_DIR}/main.cpp)
target_link_libraries(synth PRIVATE synth_panel synth_platform synth_options)
add_dependencies(synth synth_picture)
