# build/synth: the synthesizer program, with its picture synth.bmp beside it.
# Installed, it finds the picture in its data folder (app/data_files.h).

# The picture is drawn by a small program of our own at build time.
add_executable(make_picture ${CMAKE_CURRENT_LIST_DIR}/make_picture.cpp)
set_target_properties(make_picture PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tools)
add_custom_command(OUTPUT ${CMAKE_BINARY_DIR}/synth.bmp
  COMMAND make_picture ${CMAKE_BINARY_DIR}/synth.bmp
  DEPENDS make_picture
  COMMENT "Drawing synth.bmp")
add_custom_target(synth_picture ALL DEPENDS ${CMAKE_BINARY_DIR}/synth.bmp)

file(RELATIVE_PATH data_from_programs ${CMAKE_INSTALL_FULL_BINDIR} ${SYNTH_FULL_DATA_DIR})
if(WIN32) # the Windows zip holds the data beside the programs
  set(data_from_programs .)
endif()
add_library(synth_data_files STATIC ${CMAKE_CURRENT_LIST_DIR}/data_files.cpp)
target_include_directories(synth_data_files PUBLIC ${CMAKE_SOURCE_DIR})
target_compile_definitions(synth_data_files PRIVATE
  SYNTH_INSTALLED_DATA="${SYNTH_FULL_DATA_DIR}" SYNTH_DATA_FROM_PROGRAMS="${data_from_programs}")

# How the panel reads its input is the system's (platform/panel_input.h).
if(WIN32)
  set(panel_input ${CMAKE_SOURCE_DIR}/platform/windows/panel_input.cpp)
else()
  set(panel_input ${CMAKE_SOURCE_DIR}/platform/linux/panel_input.cpp)
endif()
add_executable(synth ${CMAKE_CURRENT_LIST_DIR}/main.cpp ${panel_input})
target_link_libraries(synth PRIVATE synth_panel synth_live_options synth_platform synth_data_files)
add_dependencies(synth synth_picture)
