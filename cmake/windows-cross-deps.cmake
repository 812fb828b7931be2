# Dependencies of a mingw-w64 cross build. Debian's packages are built for
# this machine, not for Windows, so:
#  - nlohmann-json and CLI11 are header-only: their headers are used as they
#    are, from a folder that holds only them (all of /usr/include on the
#    include path would put the Linux C library's headers before mingw's);
#  - fmt is used header-only (FMT_HEADER_ONLY) from the same headers;
#  - GoogleTest is built from the sources of the googletest package.
set(KX_HOST_INCLUDE /usr/include CACHE PATH "Where the host's header-only libraries are")
set(_kx_staged ${CMAKE_BINARY_DIR}/host-headers)
foreach(_kx_header fmt nlohmann CLI)
  if(NOT EXISTS ${KX_HOST_INCLUDE}/${_kx_header})
    message(FATAL_ERROR "${KX_HOST_INCLUDE}/${_kx_header} is missing: run scripts/install-deps.sh")
  endif()
  file(MAKE_DIRECTORY ${_kx_staged})
  file(CREATE_LINK ${KX_HOST_INCLUDE}/${_kx_header} ${_kx_staged}/${_kx_header} SYMBOLIC)
endforeach()

add_library(kx_host_headers INTERFACE)
target_include_directories(kx_host_headers SYSTEM INTERFACE ${_kx_staged})

add_library(fmt::fmt INTERFACE IMPORTED)
set_target_properties(fmt::fmt PROPERTIES INTERFACE_LINK_LIBRARIES kx_host_headers
                                          INTERFACE_COMPILE_DEFINITIONS FMT_HEADER_ONLY=1)
add_library(nlohmann_json::nlohmann_json INTERFACE IMPORTED)
set_target_properties(nlohmann_json::nlohmann_json PROPERTIES INTERFACE_LINK_LIBRARIES
                                                              kx_host_headers)
add_library(CLI11::CLI11 INTERFACE IMPORTED)
set_target_properties(CLI11::CLI11 PROPERTIES INTERFACE_LINK_LIBRARIES kx_host_headers)

if(KX_BUILD_TESTS)
  set(KX_GOOGLETEST_SOURCE /usr/src/googletest CACHE PATH "GoogleTest sources to build for Windows")
  if(NOT EXISTS ${KX_GOOGLETEST_SOURCE}/CMakeLists.txt)
    message(FATAL_ERROR "${KX_GOOGLETEST_SOURCE} is missing: run scripts/install-deps.sh")
  endif()
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  set(gtest_force_shared_crt OFF CACHE BOOL "" FORCE)
  # GoogleTest's own warnings are not ours to fix.
  add_subdirectory(${KX_GOOGLETEST_SOURCE} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL SYSTEM)
  set(GTest_FOUND TRUE)
endif()
