# Cross build of the Qt-free core and its tests as 64-bit Windows programs with
# Debian's mingw-w64 (posix threads), run under Wine by ctest.
#
#   cmake -S . -B build-win -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake \
#         -DVORMIK_BUILD_UI=OFF -DVORMIK_BUILD_BENCH=OFF

set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(VORMIK_MINGW_TRIPLE x86_64-w64-mingw32)
# The -posix variants: std::thread and std::mutex need the winpthreads model.
set(CMAKE_C_COMPILER ${VORMIK_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${VORMIK_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${VORMIK_MINGW_TRIPLE}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${VORMIK_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Self-contained executables: no libstdc++/libgcc/winpthread DLLs to ship in
# the zip or to put on Wine's path.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")

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
