# Installing Quado on a desktop and packing it as a .deb: the programs, the
# files in packaging/, and CPack's Debian generator. Included by the root
# CMakeLists once every program's target exists (quado installs itself in app/).
include(GNUInstallDirs)

add_subdirectory(packaging)

# The programs a user runs; the tools are built only where their sources are.
set(QUADO_INSTALLED_PROGRAMS quado)
foreach(tool IN ITEMS quado-demo quado-replay quado-sim)
  if(TARGET ${tool})
    list(APPEND QUADO_INSTALLED_PROGRAMS ${tool})
    install(TARGETS ${tool})
  endif()
endforeach()
foreach(program IN LISTS QUADO_INSTALLED_PROGRAMS)
  install(FILES ${QUADO_MAN_DIR}/${program}.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endforeach()

set(CPACK_PACKAGE_NAME quado)
set(CPACK_PACKAGE_VENDOR "Norvane")
set(CPACK_PACKAGE_CONTACT "Norvane <quado@norvane.invalid>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "big-screen board for a four-colour memory game")
set(CPACK_PACKAGE_DESCRIPTION
  "Quado is the big-screen companion of a four-colour memory game played on a
small touch board. It connects the board's Dravik USB adapter and shows a
large board: quadrants light, tones play, and level and bilingual win, lose,
timeout and start texts appear. A udev rule gives the logged-in user access
to the adapter.")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
# Quado shows a game that runs elsewhere (on the touch board); it is no game
# in /usr/games itself.
set(CPACK_DEBIAN_PACKAGE_SECTION misc)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://github.com/norvane/quado")
# The libraries come from dpkg-shlibdeps; what is loaded or read at run time
# without being linked is named here: Qt's platform plugins, SDL (loaded when
# sound is first wanted), the fonts the board's texts are measured in, and
# Qt's SQLite driver, a plugin the records load by name. The scan covers the
# modules in the library folder too (Qt Charts for the Records window,
# libmosquitto for the broker link); Qt Charts is named as well so that it
# never depends on what the scan finds.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins, libsdl2-2.0-0, fonts-liberation2, libqt6sql6-sqlite, libqt6charts6")
# Speak Texts loads its engine as a plugin: speech-dispatcher with espeak-ng
# speaks English and German, flite English only.
if(QUADO_HAVE_TEXTTOSPEECH)
  set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "qt6-speech-speechd-plugin, speech-dispatcher, speech-dispatcher-espeak-ng")
  set(CPACK_DEBIAN_PACKAGE_SUGGESTS "qt6-speech-flite-plugin")
endif()
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA
  "${QUADO_PACKAGING_DIR}/debian/postinst;${QUADO_PACKAGING_DIR}/debian/postrm")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_GENERATOR DEB)
include(CPack)
