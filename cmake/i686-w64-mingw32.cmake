# Cross build for 32-bit Windows with mingw-w64; the tests run the .exe files
# under wine.
#
#   cmake -S . -B build/mingw -DCMAKE_TOOLCHAIN_FILE=cmake/i686-w64-mingw32.cmake
#   (or: cmake --preset mingw)
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86)

set(FFTEXT_MINGW_PREFIX i686-w64-mingw32 CACHE STRING "Prefix of the mingw-w64 tools")
set(CMAKE_C_COMPILER ${FFTEXT_MINGW_PREFIX}-gcc)
set(CMAKE_CXX_COMPILER ${FFTEXT_MINGW_PREFIX}-g++)
set(CMAKE_RC_COMPILER ${FFTEXT_MINGW_PREFIX}-windres)

# Libraries and headers come from the mingw sysroot only, programs from the host.
set(CMAKE_FIND_ROOT_PATH /usr/${FFTEXT_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

find_program(FFTEXT_WINE wine)
if(FFTEXT_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${FFTEXT_WINE})
endif()
