# Cross-compiles for 64-bit Windows with Debian's MinGW-w64 (g++-mingw-w64-x86-64-posix, the
# variant with std::thread). Without Qt, programs link statically, so a .exe needs no DLL beside it,
# and run here under Wine.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(CMAKE_C_COMPILER x86_64-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER x86_64-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER x86_64-w64-mingw32-windres)

set(CMAKE_FIND_ROOT_PATH /usr/x86_64-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")

# Each prefix in CMAKE_PREFIX_PATH is searched as well, past the root above: Qt for Windows as
# scripts/build-qt-windows.sh builds it is given that way (its package files name the host's moc,
# rcc and uic). Qt's DLLs need the MinGW runtime's DLLs beside them (libgcc_s_seh-1, libstdc++-6,
# libwinpthread-1), so programs built with Qt link the runtime dynamically and share that one copy.
foreach(sensor_prefix IN LISTS CMAKE_PREFIX_PATH)
  list(APPEND CMAKE_FIND_ROOT_PATH "${sensor_prefix}")
  if(EXISTS "${sensor_prefix}/lib/cmake/Qt6/Qt6Config.cmake")
    set(CMAKE_EXE_LINKER_FLAGS_INIT "")
  endif()
endforeach()

# CTest and GoogleTest's discovery start the test programs through Wine.
find_program(SENSOR_WINE NAMES wine64 wine PATHS /usr/lib/wine NO_CMAKE_FIND_ROOT_PATH)
if(SENSOR_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${SENSOR_WINE})
endif()
