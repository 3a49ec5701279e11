# What `cmake --install` lays out and how CPack packs it for Debian: the
# console and the emulator, the menu entry, the classroom file type, the
# README (the icon is installed where it is drawn, app/CMakeLists.txt).
include(GNUInstallDirs)

if(TARGET vormik)
  install(TARGETS vormik RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
endif()
if(TARGET vormik-emulator)
  install(TARGETS vormik-emulator RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
endif()

if(UNIX AND NOT APPLE)
  # The entry's Exec names the installed program, so it is written when the
  # final prefix is known (`cmake --install --prefix`, CPack's /usr).
  install(CODE "
    set(VORMIK_DESKTOP_TEMPLATE \"${CMAKE_CURRENT_LIST_DIR}/vormik.desktop.in\")
    set(VORMIK_DESKTOP_WORK \"${CMAKE_BINARY_DIR}/packaging/vormik.desktop\")
    set(VORMIK_BINDIR \"${CMAKE_INSTALL_BINDIR}\")
    set(VORMIK_APPLICATIONS_DIR \"${CMAKE_INSTALL_DATADIR}/applications\")
    include(\"${CMAKE_CURRENT_LIST_DIR}/desktop-entry.cmake\")")
  install(FILES ${CMAKE_CURRENT_LIST_DIR}/vormik.xml
          DESTINATION ${CMAKE_INSTALL_DATADIR}/mime/packages)
  install(FILES ${CMAKE_SOURCE_DIR}/README.md DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/vormik)

  set(CPACK_GENERATOR DEB)
  set(CPACK_PACKAGE_NAME vormik)
  set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
  set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "teacher's console of a language laboratory")
  set(CPACK_PACKAGE_DESCRIPTION
      "Vormik drives the audio switching controller of a language laboratory over a\n"
      "serial port: the teacher listens or speaks to one of 16 desks, joins pairs,\n"
      "puts desks on the common line and sees the students' calls. Classroom plans\n"
      "are kept in .cld files. Includes vormik-emulator, which stands in for the\n"
      "controller on a pseudo-terminal.")
  string(REPLACE ";" "" CPACK_PACKAGE_DESCRIPTION "${CPACK_PACKAGE_DESCRIPTION}")
  set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
  set(CPACK_DEBIAN_PACKAGE_MAINTAINER "Vormik developers <vormik@localhost>")
  set(CPACK_DEBIAN_PACKAGE_SECTION education)
  set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
  # Library dependencies come from the binaries (dpkg-shlibdeps).
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
  # Qt's Russian texts for the dialogs; the MIME database for *.cld.
  set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "qt6-translations-l10n, shared-mime-info")
  set(CPACK_STRIP_FILES ON)
  include(CPack)
endif()
