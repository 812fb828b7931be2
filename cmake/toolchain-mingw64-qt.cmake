# The 64-bit Windows cross build with the two panel programs, against Qt 6
# built for Windows with the same mingw-w64 compilers. KX_QT_WINDOWS (a cache
# or environment variable) names the unpacked qt6-mingw64 folder; Qt's host
# tools (moc, uic, rcc) are those of Debian's own Qt 6.4, which must match.
#
# The programs share the C++ runtime DLLs (libstdc++-6, libgcc_s_seh-1,
# libwinpthread-1) that the Qt DLLs need anyway, rather than linking a
# second, static copy: one process with two C++ runtimes has two heaps and
# two sets of exception tables, and anything of the standard library handed
# between our code and Qt's would cross them.
set(KX_MINGW_SHARED_RUNTIME ON)
include(${CMAKE_CURRENT_LIST_DIR}/toolchain-mingw64.cmake)

if(NOT KX_QT_WINDOWS AND DEFINED ENV{KX_QT_WINDOWS})
  set(KX_QT_WINDOWS $ENV{KX_QT_WINDOWS})
endif()
if(NOT KX_QT_WINDOWS OR NOT EXISTS ${KX_QT_WINDOWS}/lib/cmake/Qt6)
  message(FATAL_ERROR "KX_QT_WINDOWS must name an unpacked Qt for Windows (qt6-mingw64), "
                      "not \"${KX_QT_WINDOWS}\": see scripts/test-windows.sh")
endif()
# try_compile projects read this file again without the cache.
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES KX_QT_WINDOWS)

list(APPEND CMAKE_FIND_ROOT_PATH ${KX_QT_WINDOWS})
list(APPEND CMAKE_PREFIX_PATH ${KX_QT_WINDOWS})
set(QT_HOST_PATH /usr)
set(QT_HOST_PATH_CMAKE_DIR /usr/lib/x86_64-linux-gnu/cmake)
