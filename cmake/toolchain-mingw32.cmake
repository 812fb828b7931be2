# The same for 32-bit Windows, the bitness of older link libraries. Running the
# tests needs Wine's 32-bit half (the wine32 package, i386 architecture).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86)
set(KX_MINGW_TRIPLET i686-w64-mingw32)

include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
