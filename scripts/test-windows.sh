#!/bin/sh
# Cross-builds the Qt-free part of the project for Windows with mingw-w64 and
# runs its tests under Wine, with no display:
#  - 64-bit: everything (core suites, command-line tool, the Windows binding
#    of the link libraries against our own stand-in DLLs, the tool against
#    each stand-in at the vendor's install path in the build's Wine prefix);
#  - 32-bit: the binding and the tool again, where stdcall decoration and
#    argument widths matter (vendor libraries are often 32-bit).
# Usage: scripts/test-windows.sh
set -eu
cd "$(dirname "$0")/.."

./scripts/install-deps.sh windows

cmake --preset windows
cmake --build --preset windows -j "$(nproc)"
ctest --preset windows -j "$(nproc)"

cmake --preset windows-x86
cmake --build --preset windows-x86-binding -j "$(nproc)"
ctest --preset windows-x86-binding -j "$(nproc)"
