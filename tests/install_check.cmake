# Installs the build into a staging directory (DESTDIR) and checks that every
# file a user needs is there and that the installed command line runs.
# Run by CTest with -DBUILD_DIR, -DSTAGE, -DBINDIR, -DLANGDIR, -DDATADIR.
file(REMOVE_RECURSE ${STAGE})
execute_process(COMMAND ${CMAKE_COMMAND} -E env DESTDIR=${STAGE} ${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix /usr
                RESULT_VARIABLE result OUTPUT_QUIET)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "cmake --install failed: ${result}")
endif()

foreach(file
    ${BINDIR}/orvane-config ${BINDIR}/orvane-cli ${BINDIR}/orvane-camsim
    ${LANGDIR}/libLangChn.so
    ${DATADIR}/applications/orvane-config.desktop
    ${DATADIR}/icons/hicolor/32x32/apps/orvane-config.png
    ${DATADIR}/man/man1/orvane-cli.1 ${DATADIR}/man/man1/orvane-config.1
    ${DATADIR}/bash-completion/completions/orvane-cli)
  if(NOT EXISTS ${STAGE}/usr/${file})
    message(FATAL_ERROR "not installed: /usr/${file}")
  endif()
endforeach()

execute_process(COMMAND ${STAGE}/usr/${BINDIR}/orvane-cli --version
                RESULT_VARIABLE result OUTPUT_VARIABLE version)
if(NOT result EQUAL 0 OR NOT version MATCHES "^orvane-cli [0-9]+\\.[0-9]+")
  message(FATAL_ERROR "the installed orvane-cli --version gave ${result}: ${version}")
endif()
message(STATUS "installed and ran: ${version}")
