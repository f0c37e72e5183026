# What `cmake --install` puts where, and the Debian package CPack builds
# from it (scripts/package.sh).
install(TARGETS orvane-config orvane-cli RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
if(TARGET orvane-camsim)
  install(TARGETS orvane-camsim RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
endif()
install(TARGETS LangChn LIBRARY DESTINATION ${ORVANE_LANG_INSTALL_DIR} RUNTIME DESTINATION ${ORVANE_LANG_INSTALL_DIR})
install(FILES ${CMAKE_SOURCE_DIR}/packaging/orvane-config.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${CMAKE_BINARY_DIR}/orvane-config.png DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/32x32/apps)
install(FILES ${CMAKE_BINARY_DIR}/man/orvane-cli.1 ${CMAKE_BINARY_DIR}/man/orvane-config.1
        DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${CMAKE_SOURCE_DIR}/packaging/bash-completion/orvane-cli
        DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME orvane-config)
set(CPACK_PACKAGE_CONTACT "Orvane Config developers")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Set up Orvane HD video cameras over an RS-485 serial line")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION electronics)
# The dependencies are the distribution's own Qt and minizip packages, as
# dpkg-shlibdeps finds them from the libraries the programs link.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "fonts-wqy-microhei | fonts-noto-cjk")
include(CPack)
