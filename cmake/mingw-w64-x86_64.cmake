# Cross-building for 64-bit Windows with Debian's mingw-w64 compiler (POSIX threads):
#   cmake -S . -B build-win -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake
# Qt 6 for Windows is not part of that toolchain, so the build leaves out everything that
# needs a window (TRELWICK_GUI=OFF). The test programs run under wine through
# scripts/wine-run.sh, which CMake calls as the cross-compiling emulator.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(TRELWICK_MINGW_PREFIX x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${TRELWICK_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${TRELWICK_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${TRELWICK_MINGW_PREFIX}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${TRELWICK_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# -O2 as the Linux build (RelWithDebInfo) optimises: GCC 12 at -O3 warns falsely of
# overlapping copies inside std::string (GCC bug 105329), and the warnings are errors.
set(CMAKE_CXX_FLAGS_RELEASE "-O2 -DNDEBUG" CACHE STRING "Flags of the Release build")

# One self-contained .exe per program: no libstdc++, libgcc or winpthread DLLs to place
# beside it on a Windows machine or in a wine prefix.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static")

set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/../scripts/wine-run.sh)

set(TRELWICK_GUI OFF CACHE BOOL "Build the Qt window program and its tests" FORCE)
set(TRELWICK_BENCHMARKS OFF CACHE BOOL "Build the benchmarks" FORCE)
