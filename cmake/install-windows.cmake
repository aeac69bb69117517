# The Windows release archive, made by CPack ("cpack -G ZIP" in the cross build folder):
#   kvr_updater_ctl.exe                 the program, static: no DLL beside it
#   Resources/<locale>/corvantis.qm     the translations; an unzipped copy has no install record,
#                                       so the program looks for them beside itself
#   README.md, LICENSE                  the program's own
#   QT-LGPL-NOTICE.txt                  Qt is linked in under the LGPL-3: what that means, where its source is
#   licences/                           LGPL-3 and GPL-3, and the Debian copyright records of the
#                                       statically linked Qt, mingw-w64 runtime and GCC runtime
if(NOT DEFINED KVR_TRANSLATIONS_DIR)
  set(KVR_TRANSLATIONS_DIR "" CACHE PATH "Build-tree folder of the compiled catalogues")
endif()
set(KVR_STAGE ${PROJECT_BINARY_DIR}/dist)

# The Qt release and Debian revision that the Windows Qt was built from: those of the host's Qt.
execute_process(COMMAND dpkg-query -W -f=\${source:Version} libqt5core5a
                OUTPUT_VARIABLE KVR_QT_DEBIAN_VERSION OUTPUT_STRIP_TRAILING_WHITESPACE)
configure_file(${PROJECT_SOURCE_DIR}/dist/windows/QT-LGPL-NOTICE.txt.in ${KVR_STAGE}/QT-LGPL-NOTICE.txt @ONLY)

install(TARGETS kvr_updater_ctl RUNTIME DESTINATION .)
if(KVR_TRANSLATIONS_DIR)
  install(DIRECTORY ${KVR_TRANSLATIONS_DIR}/ DESTINATION Resources FILES_MATCHING PATTERN "*.qm")
endif()
install(FILES README.md LICENSE ${KVR_STAGE}/QT-LGPL-NOTICE.txt DESTINATION .)
install(FILES /usr/share/common-licenses/LGPL-3 /usr/share/common-licenses/GPL-3 DESTINATION licences)
install(FILES /usr/share/doc/libqt5core5a/copyright DESTINATION licences RENAME qtbase.copyright)
install(FILES /usr/share/doc/mingw-w64-x86-64-dev/copyright DESTINATION licences RENAME mingw-w64.copyright)
install(FILES /usr/share/doc/gcc-mingw-w64-base/copyright DESTINATION licences RENAME gcc-runtime.copyright)

set(CPACK_GENERATOR ZIP)
set(CPACK_PACKAGE_NAME kvr-updater-ctl)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "Corvantis Software")
set(CPACK_SYSTEM_NAME win64)
set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY ON)
set(CPACK_STRIP_FILES ON)
include(CPack)
