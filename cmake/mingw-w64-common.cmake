# What both MinGW-w64 cross builds share, whichever compiler: the target, where its libraries are
# found, Wine to run what is built, and how the executables are linked. Included by the toolchain
# files toolchain-mingw-w64.cmake (GCC) and toolchain-mingw-w64-clang.cmake (Clang with lld).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(HALVRENN_MINGW_SYSROOT /usr/x86_64-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH ${HALVRENN_MINGW_SYSROOT})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Debian installs the 64-bit Wine loader outside PATH.
find_program(HALVRENN_WINE64 NAMES wine64 PATHS /usr/lib/wine NO_DEFAULT_PATH)
find_program(HALVRENN_WINE64 NAMES wine64 wine)
set(CMAKE_CROSSCOMPILING_EMULATOR ${HALVRENN_WINE64})

find_program(HALVRENN_WINESERVER NAMES wineserver64 wineserver PATHS /usr/lib/wine NO_DEFAULT_PATH)
find_program(HALVRENN_WINESERVER NAMES wineserver wineserver-stable)

# Every executable carries its C and C++ runtimes, so none of MinGW's DLLs has to travel with it.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")

# Unused functions and data of the static runtimes are dropped, which keeps the executable small.
set(CMAKE_C_FLAGS_INIT "-ffunction-sections -fdata-sections")
set(CMAKE_CXX_FLAGS_INIT "-ffunction-sections -fdata-sections")
string(APPEND CMAKE_EXE_LINKER_FLAGS_INIT " -Wl,--gc-sections")
