# Cross build for 64-bit Windows with Clang and lld over the same MinGW-w64 headers, import
# libraries and C++ runtime as the GCC build (toolchain-mingw-w64.cmake), and llvm-rc for the
# resources: a second compiler, linker and resource compiler for the same program.
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64-common.cmake)

set(HALVRENN_MINGW_TRIPLE x86_64-w64-mingw32)
set(CMAKE_C_COMPILER clang)
set(CMAKE_C_COMPILER_TARGET ${HALVRENN_MINGW_TRIPLE})
set(CMAKE_CXX_COMPILER clang++)
set(CMAKE_CXX_COMPILER_TARGET ${HALVRENN_MINGW_TRIPLE})
set(CMAKE_SYSROOT ${HALVRENN_MINGW_SYSROOT})

# libstdc++ of MinGW-w64's GCC with the posix thread model (std::mutex, std::thread). Clang does
# not find it alone: Debian names its folder 12-posix, which is no version number to Clang.
file(GLOB HALVRENN_MINGW_GCC_DIRS /usr/lib/gcc/${HALVRENN_MINGW_TRIPLE}/*-posix)
list(SORT HALVRENN_MINGW_GCC_DIRS COMPARE NATURAL ORDER DESCENDING)
list(GET HALVRENN_MINGW_GCC_DIRS 0 gcc_dir)
if(NOT EXISTS ${gcc_dir}/include/c++)
  message(FATAL_ERROR "No posix-thread MinGW-w64 GCC found: install g++-mingw-w64-x86-64")
endif()
string(APPEND CMAKE_CXX_FLAGS_INIT
  " -isystem ${gcc_dir}/include/c++"
  " -isystem ${gcc_dir}/include/c++/${HALVRENN_MINGW_TRIPLE}"
  " -isystem ${gcc_dir}/include/c++/backward")
# That libstdc++ keeps its thread_local variables (std::call_once's among them) in GCC's emulated
# TLS; Clang's native TLS would look for symbols it does not have.
string(APPEND CMAKE_C_FLAGS_INIT " -femulated-tls")
string(APPEND CMAKE_CXX_FLAGS_INIT " -femulated-tls")
# lld links; the posix thread model's libstdc++ needs winpthreads, which -pthread adds.
string(APPEND CMAKE_EXE_LINKER_FLAGS_INIT " -fuse-ld=lld -pthread -L${gcc_dir}")

# llvm-rc takes rc.exe's options; CMake preprocesses the script with the C++ compiler above, and
# lld links the .res that llvm-rc writes.
set(CMAKE_RC_COMPILER llvm-rc)
