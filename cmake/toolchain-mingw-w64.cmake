# Cross build for 64-bit Windows with MinGW-w64's GCC. The -posix compilers are used because the
# win32 thread model has no std::mutex, which GoogleTest needs.
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64-common.cmake)

set(CMAKE_C_COMPILER x86_64-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER x86_64-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER x86_64-w64-mingw32-windres)
