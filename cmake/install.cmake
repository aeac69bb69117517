# Installation in the FHS layout, and the Debian package built from it by CPack.
#   <prefix>/bin/kvr_updater_ctl
#   <prefix>/share/corvantis/Resources/<locale>/corvantis.qm      the install location's translations
#   /etc/xdg/Corvantis/corvantis-lumen.conf                       names the install location, read
#   /etc/xdg/Corvantis/Corvantis Lumen.conf                       through this link
#   <prefix>/share/man/man1/kvr_updater_ctl.1.gz
#   <prefix>/share/bash-completion/completions/kvr_updater_ctl
#   <prefix>/share/doc/kvr-updater-ctl/                           README, docs, copyright, changelog, examples

set(KVR_PACKAGE_NAME kvr-updater-ctl)
set(KVR_MAINTAINER "Corvantis Updater Team <updater@corvantis.example>")
set(CMAKE_INSTALL_DOCDIR "share/doc/${KVR_PACKAGE_NAME}" CACHE PATH "Documentation folder (DOCDIR)")
include(GNUInstallDirs)
set(KVR_DATA_DIR "${CMAKE_INSTALL_DATADIR}/corvantis")
# Compiled catalogues, one <locale>/corvantis.qm per language; empty installs no translation. The
# build that compiles them names their folder before this file is read.
if(NOT DEFINED KVR_TRANSLATIONS_DIR)
  set(KVR_TRANSLATIONS_DIR "" CACHE PATH "Build-tree folder of the compiled catalogues")
endif()
# Folders keep their usual mode whatever the umask of the user who installs.
set(CMAKE_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)

# The manual page and the changelog are installed compressed, as Debian wants them.
find_program(KVR_GZIP gzip REQUIRED)
set(KVR_DIST ${PROJECT_SOURCE_DIR}/dist)
set(KVR_STAGE ${PROJECT_BINARY_DIR}/dist)
foreach(pair "kvr_updater_ctl.1|kvr_updater_ctl.1.gz" "debian/changelog|changelog.gz")
  string(REPLACE "|" ";" pair "${pair}")
  list(GET pair 0 source)
  list(GET pair 1 target)
  add_custom_command(OUTPUT ${KVR_STAGE}/${target}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${KVR_STAGE}
    COMMAND sh -c "${KVR_GZIP} -9nc \"$0\" >\"$1\"" ${KVR_DIST}/${source} ${KVR_STAGE}/${target}
    DEPENDS ${KVR_DIST}/${source} VERBATIM)
  list(APPEND KVR_COMPRESSED ${KVR_STAGE}/${target})
endforeach()
add_custom_target(kvr_dist ALL DEPENDS ${KVR_COMPRESSED})

# The Debian copyright file carries the licence text of LICENSE in its machine-readable form.
file(READ ${PROJECT_SOURCE_DIR}/LICENSE KVR_LICENSE)
string(FIND "${KVR_LICENSE}" "Permission" KVR_LICENSE_START)
string(SUBSTRING "${KVR_LICENSE}" ${KVR_LICENSE_START} -1 KVR_LICENSE)
string(STRIP "${KVR_LICENSE}" KVR_LICENSE)
string(REPLACE "\n" "\n " KVR_LICENSE " ${KVR_LICENSE}")
string(REPLACE "\n \n" "\n .\n" KVR_LICENSE "${KVR_LICENSE}")
configure_file(${KVR_DIST}/debian/copyright.in ${KVR_STAGE}/copyright @ONLY)

install(TARGETS kvr_updater_ctl RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
if(KVR_TRANSLATIONS_DIR)
  install(DIRECTORY ${KVR_TRANSLATIONS_DIR}/ DESTINATION ${KVR_DATA_DIR}/Resources FILES_MATCHING PATTERN "*.qm")
endif()
install(CODE "set(KVR_DATA_DIR \"${KVR_DATA_DIR}\")\nset(KVR_STAGE \"${KVR_STAGE}\")")
install(SCRIPT ${PROJECT_SOURCE_DIR}/cmake/install-settings.cmake)
install(FILES ${KVR_STAGE}/kvr_updater_ctl.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${KVR_DIST}/kvr_updater_ctl.bash-completion DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions
        RENAME kvr_updater_ctl)
install(FILES README.md ${KVR_STAGE}/copyright ${KVR_STAGE}/changelog.gz DESTINATION ${CMAKE_INSTALL_DOCDIR})
install(DIRECTORY docs/ DESTINATION ${CMAKE_INSTALL_DOCDIR}/docs FILES_MATCHING PATTERN "*.md")
install(FILES examples/corvantis_updates.xml DESTINATION ${CMAKE_INSTALL_DOCDIR}/examples)

# The Debian package: "cpack -G DEB" in the build folder.
file(WRITE ${KVR_STAGE}/conffiles "/etc/xdg/Corvantis/corvantis-lumen.conf\n")
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME ${KVR_PACKAGE_NAME})
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "Corvantis Software")
set(CPACK_PACKAGE_CONTACT "${KVR_MAINTAINER}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "updater controller of the Corvantis products")
set(CPACK_PACKAGE_DESCRIPTION "kvr_updater_ctl checks an XML updates description, read from a URL\n\
or from a local file, against the installed version of Corvantis Halden,\n\
Ferrowick or Lumen, reports the updates that apply, and downloads their\n\
files with resume, MD5 verification and optional background throttling.\n\
Product installers run it and read its exit status and machine-readable\n\
output lines; people run it in a terminal, in one of twelve languages.")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA ${KVR_STAGE}/conffiles)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
# Installed with DESTDIR, so that the settings file is written for the prefix /usr.
set(CPACK_SET_DESTDIR ON)
set(CPACK_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
include(CPack)
