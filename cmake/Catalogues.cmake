# Message catalogues: each <name>_<locale>.ts is compiled by lrelease into <folder>/<locale>/corvantis.qm,
# the layout that the program looks for under its install location's Resources folder.

# lrelease runs on the build machine; the hint is the bin folder of the Qt that the build uses.
get_target_property(_kvr_qmake Qt5::qmake IMPORTED_LOCATION)
get_filename_component(_kvr_qt_bin "${_kvr_qmake}" DIRECTORY)
find_program(KVR_LRELEASE NAMES lrelease lrelease-qt5 HINTS "${_kvr_qt_bin}" /usr/lib/qt5/bin
             DOC "Qt's lrelease (Debian: qttools5-dev-tools)" REQUIRED)
find_program(KVR_LUPDATE NAMES lupdate lupdate-qt5 HINTS "${_kvr_qt_bin}" /usr/lib/qt5/bin
             DOC "Qt's lupdate (Debian: qttools5-dev-tools)")

# kvr_add_catalogues(<target> <folder> <ts>...): a target, built by default, that compiles the .ts files.
function(kvr_add_catalogues target folder)
  set(outputs)
  foreach(ts ${ARGN})
    get_filename_component(ts "${ts}" ABSOLUTE)
    get_filename_component(name "${ts}" NAME_WE)
    string(REGEX MATCH "_(.+)$" locale "${name}") # the part after the first "_": de, pt_BR, ...
    set(locale "${CMAKE_MATCH_1}")
    set(qm "${folder}/${locale}/corvantis.qm")
    add_custom_command(OUTPUT "${qm}"
      COMMAND ${CMAKE_COMMAND} -E make_directory "${folder}/${locale}"
      COMMAND "${KVR_LRELEASE}" -silent -nounfinished "${ts}" -qm "${qm}"
      DEPENDS "${ts}"
      COMMENT "Compiling the ${locale} catalogue"
      VERBATIM)
    list(APPEND outputs "${qm}")
  endforeach()
  add_custom_target(${target} ALL DEPENDS ${outputs})
endfunction()
