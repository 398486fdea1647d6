# `make package`: a Debian package of the installed tree (cpack -G DEB).
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME quavix)
set(CPACK_PACKAGE_VENDOR "Quavix developers")
set(CPACK_PACKAGE_CONTACT "${QUAVIX_MAINTAINER}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "small audio player that rides in the title bar")
set(CPACK_PACKAGE_DESCRIPTION "Quavix is a small desktop audio player: a 16-pixel strip that\n\
rides in the title bar of the window in front, with every command in one pop-up\n\
menu on its icon. It plays files, play lists and network streams and can run as\n\
an unattended station.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
# Stripped binaries; their symbols stay in <build>/debug (see CMAKE_STRIP in the top folder).
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION sound)
# The libraries the executables link come from dpkg-shlibdeps; what is loaded at run time
# (the SVG icon plugin, the window-system plugins, the decoders and sinks) is listed here,
# by the package that holds it on the release the package is built on: Debian 13 moved the
# SVG plugin out of libqt6svg6 into qt6-svg-plugins.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(_run_time qt6-qpa-plugins gstreamer1.0-plugins-base gstreamer1.0-plugins-good)
foreach(_plugin imageformats/libqsvg.so platforms/libqxcb.so)
  set(_file ${QT6_INSTALL_PREFIX}/${QT6_INSTALL_PLUGINS}/${_plugin})
  execute_process(COMMAND dpkg-query -S ${_file}
                  OUTPUT_VARIABLE _owner ERROR_QUIET OUTPUT_STRIP_TRAILING_WHITESPACE)
  string(REGEX REPLACE "[:,].*" "" _owner "${_owner}")
  if(_owner)
    list(APPEND _run_time ${_owner})
  else()
    message(WARNING "no installed package holds ${_file}")
  endif()
endforeach()
# From Qt 6.5 the X11 plugin does not load without the cursor library, yet nothing of Qt's
# depends on it.
if(Qt6_VERSION VERSION_GREATER_EQUAL 6.5)
  list(APPEND _run_time libxcb-cursor0)
endif()
list(REMOVE_DUPLICATES _run_time)
list(JOIN _run_time ", " CPACK_DEBIAN_PACKAGE_DEPENDS)
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS
    "gstreamer1.0-plugins-ugly, gstreamer1.0-plugins-bad, gstreamer1.0-libav, gstreamer1.0-pulseaudio | gstreamer1.0-alsa, timgm6mb-soundfont, xdg-utils, qt6-wayland")
include(CPack)
