# Cross-builds the Qt-free part of the project (core, command-line tool,
# Windows link-library binding, tests) for 64-bit Windows with Debian's
# mingw-w64, and runs the results under Wine:
#   cmake -S . -B build-win -G Ninja --toolchain cmake/toolchain-mingw64.cmake
#   cmake --build build-win && ctest --test-dir build-win
# The -posix compilers are the ones whose C++ library has std::thread and
# std::mutex.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(KX_MINGW_TRIPLET x86_64-w64-mingw32)

include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
