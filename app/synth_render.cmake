# build/synth-render: MIDI file in, WAV file out, through the engine.
include(${CMAKE_SOURCE_DIR}/files/media.cmake)

# The command-line options of the shared settings, for every program.
if(NOT TARGET synth_options)
  add_library(synth_options STATIC ${CMAKE_CURRENT_LIST_DIR}/setting_options.cpp)
  target_link_libraries(synth_options PUBLIC synth_core)
endif()

add_executable(synth-render ${CMAKE_CURRENT_LIST_DIR}/synth_render.cpp)
target_link_libraries(synth-render PRIVATE synth_media synth_options synth_core)
