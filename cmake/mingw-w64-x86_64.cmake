# Cross build for 64-bit Windows with Debian's mingw-w64 (posix threads) and a static Qt made by
# scripts/build-windows-qt. Give that Qt as -DKVR_WINDOWS_QT=<folder> or in the environment.
# Test programs run under wine64 through scripts/wine-run.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(KVR_MINGW_TRIPLET x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${KVR_MINGW_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${KVR_MINGW_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER ${KVR_MINGW_TRIPLET}-windres)

if(NOT KVR_WINDOWS_QT AND DEFINED ENV{KVR_WINDOWS_QT})
  set(KVR_WINDOWS_QT "$ENV{KVR_WINDOWS_QT}")
endif()
if(NOT KVR_WINDOWS_QT OR NOT EXISTS "${KVR_WINDOWS_QT}/lib/cmake/Qt5")
  message(FATAL_ERROR "No Windows Qt at '${KVR_WINDOWS_QT}': pass -DKVR_WINDOWS_QT=<folder printed by scripts/build-windows-qt>")
endif()
set(KVR_WINDOWS_QT "${KVR_WINDOWS_QT}" CACHE PATH "Static Qt for Windows made by scripts/build-windows-qt")
# Checks that CMake compiles in a scratch project read this file again; hand the folder on.
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES KVR_WINDOWS_QT)

# Libraries and headers come from the mingw sysroot and that Qt only; tools from the host.
set(CMAKE_FIND_ROOT_PATH /usr/${KVR_MINGW_TRIPLET} "${KVR_WINDOWS_QT}")
set(CMAKE_PREFIX_PATH "${KVR_WINDOWS_QT}")
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(CMAKE_CROSSCOMPILING_EMULATOR "${CMAKE_CURRENT_LIST_DIR}/../scripts/wine-run")
