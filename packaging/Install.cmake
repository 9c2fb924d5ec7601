# Installing and packaging on Linux: the window and the command-line tool in bin, a desktop entry,
# the icon, their manual pages, the licence and the changelog in the usual shared folders
# (GNUInstallDirs), and a Debian package through CPack:
#   cmake --install BUILD_DIR [--prefix /usr/local]
#   cd BUILD_DIR && cpack -G DEB
# scripts/package.sh builds a Release in a clean folder and makes the package.

include(GNUInstallDirs)
set(QUORVEX_PACKAGING_DIR ${CMAKE_BINARY_DIR}/packaging)

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

# The licence and the changelog, where Debian's tools look for them: share/doc/quorvex/copyright
# (the licence with a line on what it covers) and share/doc/quorvex/changelog.gz (the Debian
# changelog format, made from CHANGELOG.md by debian-changelog.sh).
set(QUORVEX_MAINTAINER "Quorvex <dev@quorvex.invalid>")
file(READ ${PROJECT_SOURCE_DIR}/LICENSE QUORVEX_LICENSE_TEXT)
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/LICENSE)
file(WRITE ${QUORVEX_PACKAGING_DIR}/copyright
     "Quorvex, an editor for the scripts and objects of mission scene files.\n"
     "Every file of Quorvex is under this licence (LICENSE in the source tree):\n\n"
     "${QUORVEX_LICENSE_TEXT}")
install(FILES ${QUORVEX_PACKAGING_DIR}/copyright DESTINATION ${CMAKE_INSTALL_DOCDIR})
add_custom_command(
  OUTPUT ${QUORVEX_PACKAGING_DIR}/changelog.gz
  COMMAND sh ${CMAKE_CURRENT_LIST_DIR}/debian-changelog.sh ${PROJECT_SOURCE_DIR}/CHANGELOG.md
          ${QUORVEX_PACKAGING_DIR}/changelog.gz ${PROJECT_NAME} ${QUORVEX_MAINTAINER}
  DEPENDS ${PROJECT_SOURCE_DIR}/CHANGELOG.md ${CMAKE_CURRENT_LIST_DIR}/debian-changelog.sh
  COMMENT "Debian changelog from CHANGELOG.md"
  VERBATIM)
add_custom_target(quorvex_changelog ALL DEPENDS ${QUORVEX_PACKAGING_DIR}/changelog.gz)
install(FILES ${QUORVEX_PACKAGING_DIR}/changelog.gz DESTINATION ${CMAKE_INSTALL_DOCDIR})

# Manual pages, made at build time by help2man from each program's --help and --version (both
# answer without a display) and the sections in PROGRAM.h2m. The programs are run by name from
# their build folder, so that the pages name them as a user types them.
find_program(QUORVEX_HELP2MAN help2man)
if(QUORVEX_HELP2MAN)
  set(QUORVEX_MAN_PAGES)
  set(QUORVEX_MAN_quorvex "window for the scripts and objects of mission scene files")
  set(QUORVEX_MAN_quorvex-cli "list, read and edit the scripts and objects of a scene2.bin")
  foreach(program quorvex quorvex-cli)
    if(NOT TARGET ${program})
      continue()
    endif()
    set(page ${QUORVEX_PACKAGING_DIR}/man/${program}.1)
    add_custom_command(
      OUTPUT ${page}.gz
      COMMAND ${CMAKE_COMMAND} -E make_directory ${QUORVEX_PACKAGING_DIR}/man
      COMMAND ${CMAKE_COMMAND} -E env "PATH=$<TARGET_FILE_DIR:${program}>:$ENV{PATH}"
              ${QUORVEX_HELP2MAN} --no-info --section=1 "--name=${QUORVEX_MAN_${program}}"
              --include=${CMAKE_CURRENT_LIST_DIR}/${program}.h2m --output=${page} ${program}
      COMMAND gzip -9nf ${page}
      DEPENDS ${program} ${CMAKE_CURRENT_LIST_DIR}/${program}.h2m
      COMMENT "Manual page of ${program}"
      VERBATIM)
    list(APPEND QUORVEX_MAN_PAGES ${page}.gz)
  endforeach()
  add_custom_target(quorvex_man_pages ALL DEPENDS ${QUORVEX_MAN_PAGES})
  install(FILES ${QUORVEX_MAN_PAGES} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
else()
  message(STATUS "help2man not found: no manual pages (the Debian package needs them)")
endif()

set(CPACK_PACKAGE_NAME quorvex)
set(CPACK_PACKAGE_VENDOR Quorvex)
set(CPACK_PACKAGE_CONTACT "${QUORVEX_MAINTAINER}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Editor for the scripts and objects of mission scene files")
# Lines of at most 80 characters: the package's long description is shown as it is written.
set(CPACK_PACKAGE_DESCRIPTION
    "Quorvex lists, edits and saves the scripts inside mission scene files\n"
    "(scene2.bin), inserts and moves objects, and checks a scene's chunk tree.\n"
    "It brings a Qt window (quorvex) and a command-line tool (quorvex-cli).")
string(JOIN "" CPACK_PACKAGE_DESCRIPTION ${CPACK_PACKAGE_DESCRIPTION})
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION editors)
# The runtime libraries (Qt 6, the C++ runtime) as dpkg-shlibdeps finds them (package dpkg-dev).
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
include(CPack)
