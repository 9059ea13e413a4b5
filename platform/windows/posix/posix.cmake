# The Windows build: the POSIX names MinGW-w64 lacks (posix_on_windows.h,
# poll.h, readlink.cpp), ahead of every source and linked into every program.
include_directories(BEFORE SYSTEM ${CMAKE_CURRENT_LIST_DIR})
add_compile_options(-include ${CMAKE_CURRENT_LIST_DIR}/posix_on_windows.h)
add_library(synth_windows_posix STATIC ${CMAKE_CURRENT_LIST_DIR}/readlink.cpp)
link_libraries(synth_windows_posix)
