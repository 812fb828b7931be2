# Shared by the mingw-w64 toolchain files, which set KX_MINGW_TRIPLET.
set(CMAKE_C_COMPILER ${KX_MINGW_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${KX_MINGW_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER ${KX_MINGW_TRIPLET}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${KX_MINGW_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Static runtime: an executable or DLL copied to a Windows machine (or into a
# Wine prefix) needs no libstdc++, libgcc or winpthread DLL beside it. A
# missing runtime DLL shows under Wine as a silent exit, not as an error.
# The build with Qt shares the runtime DLLs that Qt's own DLLs need instead
# (see toolchain-mingw64-qt.cmake).
if(NOT KX_MINGW_SHARED_RUNTIME)
  set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
  set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static")
  set(CMAKE_MODULE_LINKER_FLAGS_INIT "-static")
endif()

# Tests run under Wine through a wrapper that keeps the Wine prefix inside
# the build folder and the Wine server off CTest's output pipes.
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/wine-run.sh ${CMAKE_BINARY_DIR}/wine-prefix)

# Discover the GoogleTest cases when CTest runs rather than during the build,
# so that building needs no Wine.
set(CMAKE_GTEST_DISCOVER_TESTS_DISCOVERY_MODE PRE_TEST)

# Only the Qt-free part unless Qt for Windows is given: it is not a Debian
# package (see toolchain-mingw64-qt.cmake).
if(NOT KX_MINGW_SHARED_RUNTIME)
  set(KX_BUILD_PANEL OFF CACHE BOOL "Build the window and the two panel programs (needs Qt 6)")
endif()
set(KX_BUILD_BENCH OFF CACHE BOOL "Build the benchmarks")
