# build/synth-render: MIDI file in, WAV file out, through the engine.
include(${CMAKE_SOURCE_DIR}/files/media.cmake)

add_executable(synth-render ${CMAKE_CURRENT_LIST_DIR}/synth_render.cpp)
target_link_libraries(synth-render PRIVATE synth_media synth_options synth_core)
target_compile_definitions(synth-render PRIVATE SYNTH_VERSION="${PROJECT_VERSION}")
