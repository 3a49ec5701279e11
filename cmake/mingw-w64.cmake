# Cross build of the console as 64-bit Windows programs with Debian's mingw-w64
# (posix threads), run under Wine by ctest. Without Qt for Windows only the
# Qt-free core and its tests:
#
#   cmake -S . -B build-win -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake \
#         -DVORMIK_BUILD_UI=OFF -DVORMIK_BUILD_BENCH=OFF
#
# With the Qt that scripts/windows-qt.sh builds, the window too:
#
#   ... -DVORMIK_QT_WIN_PREFIX=<its folder> -DQT_HOST_PATH=/usr
#       -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake

set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(VORMIK_MINGW_TRIPLE x86_64-w64-mingw32)
# The -posix variants: std::thread and std::mutex need the winpthreads model.
set(CMAKE_C_COMPILER ${VORMIK_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${VORMIK_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${VORMIK_MINGW_TRIPLE}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${VORMIK_MINGW_TRIPLE})
if(VORMIK_QT_WIN_PREFIX)
  # Qt for Windows is a second root, set up as Qt's own qt.toolchain.cmake
  # does; its tools come from the host Qt (QT_HOST_PATH).
  list(PREPEND CMAKE_FIND_ROOT_PATH ${VORMIK_QT_WIN_PREFIX})
  list(PREPEND CMAKE_PREFIX_PATH ${VORMIK_QT_WIN_PREFIX}/lib/cmake)
  list(PREPEND CMAKE_MODULE_PATH ${VORMIK_QT_WIN_PREFIX}/lib/cmake/Qt6/platforms)
endif()
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Where the shared C++ runtime's DLLs are (cmake/windows-runtime.cmake).
set(VORMIK_MINGW_RUNTIME_DIRS /usr/lib/gcc/${VORMIK_MINGW_TRIPLE}/12-posix
    /usr/${VORMIK_MINGW_TRIPLE}/lib)
if(NOT VORMIK_QT_WIN_PREFIX)
  # Self-contained executables: no libstdc++/libgcc/winpthread DLLs to ship
  # in the zip or to put on Wine's path. With Qt the programs share Qt's
  # runtime DLLs instead: a second copy's exceptions and allocations would not
  # mix with them.
  set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
endif()

# Debian's wine64 package installs the loader outside PATH.
find_program(VORMIK_WINE64 NAMES wine64 wine
             PATHS /usr/lib/wine /usr/lib64/wine NO_CMAKE_FIND_ROOT_PATH)
if(VORMIK_WINE64)
  # A private prefix inside the build folder keeps the tests' registry writes
  # and files away from any real Wine user.
  set(VORMIK_WINEPREFIX "${CMAKE_BINARY_DIR}/wineprefix" CACHE PATH
      "Wine prefix the Windows tests run in")
  # The Russian locale gives Wine code page 1251 as the ANSI code page, as on
  # the teachers' machines (the profile service converts through it).
  set(CMAKE_CROSSCOMPILING_EMULATOR
      /usr/bin/env "WINEPREFIX=${VORMIK_WINEPREFIX}" WINEDEBUG=-all LC_ALL=ru_RU.UTF-8
      ${VORMIK_WINE64})
endif()
