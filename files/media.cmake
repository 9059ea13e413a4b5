# MIDI files in (our own reader) and WAV files out (libsndfile), for the
# offline renderer and its tests.
if(NOT TARGET synth_media)
  find_package(PkgConfig REQUIRED)
  pkg_check_modules(SNDFILE REQUIRED IMPORTED_TARGET GLOBAL sndfile)
  add_library(synth_media STATIC
    ${CMAKE_SOURCE_DIR}/files/midi_file.cpp
    ${CMAKE_SOURCE_DIR}/files/wav_file.cpp)
  target_include_directories(synth_media PUBLIC ${CMAKE_SOURCE_DIR})
  target_link_libraries(synth_media PUBLIC synth_core PkgConfig::SNDFILE)
endif()
