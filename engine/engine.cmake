# The renderer and its oscillator kernels, one copy per instruction set. The
# wider copies are built for their instruction set and chosen at run time, so
# the program itself stays a portable x86-64 build.
target_sources(synth_core PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/render.cpp
  ${CMAKE_CURRENT_LIST_DIR}/cosine.cpp
  ${CMAKE_CURRENT_LIST_DIR}/osc_sse2.cpp
  ${CMAKE_CURRENT_LIST_DIR}/osc_avx2.cpp
  ${CMAKE_CURRENT_LIST_DIR}/osc_avx512.cpp)
set_property(SOURCE ${CMAKE_CURRENT_LIST_DIR}/osc_avx2.cpp
  APPEND PROPERTY COMPILE_OPTIONS -mavx2 -mfma)
set_property(SOURCE ${CMAKE_CURRENT_LIST_DIR}/osc_avx512.cpp
  APPEND PROPERTY COMPILE_OPTIONS -mavx512f -mavx512dq)
# The inner loops (and the noise generator) run at -O3 in every build type.
set_property(SOURCE
  ${CMAKE_CURRENT_LIST_DIR}/engine.cpp
  ${CMAKE_CURRENT_LIST_DIR}/render.cpp
  ${CMAKE_CURRENT_LIST_DIR}/cosine.cpp
  ${CMAKE_CURRENT_LIST_DIR}/osc_sse2.cpp
  ${CMAKE_CURRENT_LIST_DIR}/osc_avx2.cpp
  ${CMAKE_CURRENT_LIST_DIR}/osc_avx512.cpp
  APPEND PROPERTY COMPILE_OPTIONS -O3)
