# Run at install time (see share/CMakeLists.txt): writes quavix-station.service into
# <prefix>/lib/systemd/user from QUAVIX_UNIT_IN, its ExecStart naming <prefix>/bin/quavix.
set(_launcher "${CMAKE_INSTALL_PREFIX}/bin/quavix")
# systemd expands % and $ in a command line; a blank, a quote or a backslash needs quoting.
string(REPLACE "%" "%%" _launcher "${_launcher}")
string(REPLACE "$" "$$" _launcher "${_launcher}")
if(_launcher MATCHES "[ \t\"'\\\\]")
  string(REPLACE "\\" "\\\\" _launcher "${_launcher}")
  string(REPLACE "\"" "\\\"" _launcher "${_launcher}")
  set(_launcher "\"${_launcher}\"")
endif()
set(QUAVIX_LAUNCHER "${_launcher}")
set(_dir "$ENV{DESTDIR}${CMAKE_INSTALL_PREFIX}/lib/systemd/user")
message(STATUS "Installing: ${_dir}/quavix-station.service")
configure_file("${QUAVIX_UNIT_IN}" "${_dir}/quavix-station.service" @ONLY)
list(APPEND CMAKE_INSTALL_MANIFEST_FILES
     "${CMAKE_INSTALL_PREFIX}/lib/systemd/user/quavix-station.service")
