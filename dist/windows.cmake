# The Windows build's package: build-windows/synth/synth-VERSION-windows.zip
# with the programs (synth.exe, synth-render.exe), the panel's picture, the factory instruments, the
# demonstration tune, the plugin (the LV2 and VST3 bundles, the CLAP file), the READMEs and the licence, in one
# folder to unpack anywhere (the programs find their data beside them).
set(SYNTH_ZIP_NAME synth-${PROJECT_VERSION}-windows)
set(stage ${CMAKE_BINARY_DIR}/zip/${SYNTH_ZIP_NAME})
set(SYNTH_ZIP ${CMAKE_BINARY_DIR}/${SYNTH_ZIP_NAME}.zip CACHE INTERNAL "the Windows package")
set(programs synth synth-render)
set(copy_programs)
foreach(p IN LISTS programs)
  list(APPEND copy_programs COMMAND ${CMAKE_COMMAND} -E copy $<TARGET_FILE:${p}> ${stage}/)
endforeach()
add_custom_command(OUTPUT ${SYNTH_ZIP}
  COMMAND ${CMAKE_COMMAND} -E rm -rf ${stage}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${stage}/instruments
  ${copy_programs}
  COMMAND ${CMAKE_COMMAND} -E copy ${CMAKE_BINARY_DIR}/synth.bmp ${SYNTH_DEMO_MIDI} ${stage}/
  COMMAND ${CMAKE_COMMAND} -E copy_directory ${SYNTH_FACTORY_DIR} ${stage}/instruments
  COMMAND ${CMAKE_COMMAND} -E rm -f ${stage}/instruments/.written
  COMMAND ${CMAKE_COMMAND} -E copy_directory ${SYNTH_LV2_BUNDLE} ${stage}/synth.lv2
  COMMAND ${CMAKE_COMMAND} -E copy_directory ${SYNTH_VST3_BUNDLE} ${stage}/synth.vst3
  COMMAND ${CMAKE_COMMAND} -E copy ${SYNTH_CLAP_DIR}/synth.clap ${stage}/
  COMMAND ${CMAKE_COMMAND} -E copy ${CMAKE_SOURCE_DIR}/README.md ${CMAKE_SOURCE_DIR}/LICENSE
          ${CMAKE_SOURCE_DIR}/CHANGELOG.md ${stage}/
  COMMAND ${CMAKE_COMMAND} -E copy ${CMAKE_SOURCE_DIR}/factory/README.md ${stage}/instruments/README.md
  COMMAND ${CMAKE_COMMAND} -E chdir ${CMAKE_BINARY_DIR}/zip
          ${CMAKE_COMMAND} -E tar cf ${SYNTH_ZIP} --format=zip ${SYNTH_ZIP_NAME}
  DEPENDS ${programs} synth_lv2 synth_vst3 synth_clap synth_picture ${SYNTH_FACTORY_DIR}/.written ${SYNTH_DEMO_MIDI}
    ${CMAKE_SOURCE_DIR}/README.md ${CMAKE_SOURCE_DIR}/factory/README.md
  COMMENT "Packing ${SYNTH_ZIP_NAME}.zip")
add_custom_target(windows_zip ALL DEPENDS ${SYNTH_ZIP})
