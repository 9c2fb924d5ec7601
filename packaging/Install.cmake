# Installing and packaging on Linux: the window and the command-line tool in bin, a desktop entry
# and the icon in the usual shared folders (GNUInstallDirs), and a Debian package through CPack:
#   cmake --install BUILD_DIR [--prefix /usr/local]
#   cd BUILD_DIR && cpack -G DEB
# scripts/package.sh builds a Release in a clean folder and makes the package.

include(GNUInstallDirs)

install(TARGETS quorvex-cli RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})

if(TARGET quorvex)
  install(TARGETS quorvex RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  install(FILES ${CMAKE_CURRENT_LIST_DIR}/quorvex.desktop
          DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
  install(FILES ${CMAKE_CURRENT_LIST_DIR}/icons/quorvex.svg
          DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
  # PNG renderings of the SVG (rsvg-convert -w N -h N quorvex.svg), for menus that take no SVG.
  foreach(size 48 128 256)
    install(FILES ${CMAKE_CURRENT_LIST_DIR}/icons/quorvex-${size}.png
            DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps
            RENAME quorvex.png)
  endforeach()
endif()

set(CPACK_PACKAGE_NAME quorvex)
set(CPACK_PACKAGE_VENDOR Quorvex)
set(CPACK_PACKAGE_CONTACT "Quorvex <dev@quorvex.invalid>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Editor for the scripts and objects of mission scene files")
set(CPACK_PACKAGE_DESCRIPTION
    "Quorvex lists, edits and saves the scripts inside mission scene files (scene2.bin), inserts and moves objects, and checks a scene's chunk tree. It brings a Qt window (quorvex) and a command-line tool (quorvex-cli).")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION editors)
# The runtime libraries (Qt 6, the C++ runtime) as dpkg-shlibdeps finds them (package dpkg-dev).
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
include(CPack)
