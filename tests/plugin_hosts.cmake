# The tests' hosts of each plugin format (plugin_instance.h), shared by the
# tests and the benchmarks: LV2 (by its descriptor here, through liblilv in
# lv2_host.cpp), VST3 and CLAP on the headers the framework ships.
if(NOT TARGET plugin_hosts)
  find_package(PkgConfig REQUIRED)
  pkg_check_modules(LV2 REQUIRED IMPORTED_TARGET GLOBAL lv2)
  set(dir ${CMAKE_SOURCE_DIR}/tests)
  add_library(plugin_hosts STATIC ${dir}/lv2_instance.cpp ${dir}/plugin_instance.cpp ${dir}/vst3_instance.cpp
    ${dir}/clap_instance.cpp)
  target_include_directories(plugin_hosts PUBLIC ${CMAKE_SOURCE_DIR} PRIVATE ${SYNTH_DPF_DIR}/distrho/src)
  target_link_libraries(plugin_hosts PUBLIC synth_core PkgConfig::LV2 ${CMAKE_DL_LIBS})
  target_compile_definitions(plugin_hosts PUBLIC SYNTH_LV2_BUNDLE="${SYNTH_LV2_BUNDLE}"
    SYNTH_VST3_BUNDLE="${SYNTH_VST3_BUNDLE}" SYNTH_CLAP_FILE="${SYNTH_CLAP_DIR}/synth.clap"
    SYNTH_MODULE_SUFFIX="${CMAKE_SHARED_MODULE_SUFFIX}")
  add_dependencies(plugin_hosts synth_lv2 synth_vst3 synth_clap)
endif()
