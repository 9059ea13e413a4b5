# The reference renderer, shared by the rendering tests and the benchmarks.
if(NOT TARGET synth_oracle)
  add_library(synth_oracle STATIC ${CMAKE_SOURCE_DIR}/tests/oracle.cpp)
  target_link_libraries(synth_oracle PUBLIC synth_core)
endif()
