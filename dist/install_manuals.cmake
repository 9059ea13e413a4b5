# Run by `cmake --install` (and cpack): writes synth.1 and synth-render.1
# from their .in sources with the folders of the prefix being installed to
# and the OPTIONS sections made from --help at build time,
# compresses them and installs them into man1. DESTDIR is honoured by
# file(INSTALL).
string(MD5 key "$ENV{DESTDIR}${CMAKE_INSTALL_PREFIX}")
set(work "${SYNTH_MAN_WORK}/${key}")
foreach(dir DATA DOC MAN)
  if(IS_ABSOLUTE "${SYNTH_${dir}_DIR}")
    set(full_${dir} "${SYNTH_${dir}_DIR}")
  else()
    set(full_${dir} "${CMAKE_INSTALL_PREFIX}/${SYNTH_${dir}_DIR}")
  endif()
endforeach()
set(SYNTH_DATA "${full_DATA}")
set(SYNTH_DOC "${full_DOC}")
foreach(page synth synth-render)
  file(READ "${SYNTH_MAN_WORK}/options/${page}" SYNTH_OPTIONS)
  string(STRIP "${SYNTH_OPTIONS}" SYNTH_OPTIONS)
  configure_file("${SYNTH_MAN_SOURCES}/${page}.1.in" "${work}/${page}.1" @ONLY)
  execute_process(COMMAND gzip -9nf "${work}/${page}.1" RESULT_VARIABLE failed)
  if(failed)
    message(FATAL_ERROR "gzip could not compress ${work}/${page}.1")
  endif()
  file(INSTALL "${work}/${page}.1.gz" DESTINATION "${full_MAN}/man1")
endforeach()
