# Writes the system settings file that names the install location. It runs at install time, so it
# follows the prefix given to "cmake --install --prefix"; DESTDIR only moves where the file lands.
# Its folder follows GNUInstallDirs: /etc for the prefixes / and /usr, /etc/opt/... for /opt/...,
# else <prefix>/etc.
set(prefix "${CMAKE_INSTALL_PREFIX}")
string(REGEX REPLACE "/+$" "" prefix "${prefix}")
if(prefix STREQUAL "" OR prefix STREQUAL "/usr")
  set(etc "/etc")
elseif(prefix MATCHES "^/opt/")
  set(etc "/etc${prefix}")
else()
  set(etc "${prefix}/etc")
endif()
set(location "${prefix}/${KVR_DATA_DIR}")
if(NOT location MATCHES "^/[ -~]*$")
  message(FATAL_ERROR "The install prefix must be an absolute path of ASCII characters: ${CMAKE_INSTALL_PREFIX}")
endif()
# Quoted, so that a comma does not make a list of the value; quotes and backslashes escaped.
string(REPLACE "\\" "\\\\" location "${location}")
string(REPLACE "\"" "\\\"" location "${location}")
# Debian cannot name a configuration file with a blank in it, so the file that the program reads,
# "Corvantis Lumen.conf", is a link to corvantis-lumen.conf beside it.
set(staged "${KVR_STAGE}/settings")
file(WRITE "${staged}/corvantis-lumen.conf" "[General]\nInstallLocation=\"${location}\"\n")
file(CREATE_LINK corvantis-lumen.conf "${staged}/Corvantis Lumen.conf" SYMBOLIC)
file(INSTALL DESTINATION "${etc}/xdg/Corvantis" TYPE FILE
     FILES "${staged}/corvantis-lumen.conf" "${staged}/Corvantis Lumen.conf")
