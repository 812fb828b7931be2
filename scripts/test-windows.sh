#!/bin/sh
# Cross-builds the Qt-free part of the project for Windows with mingw-w64 and
# runs its tests under Wine, with no display:
#  - 64-bit: everything (core suites, command-line tool, the Windows binding
#    of the link libraries against our own stand-in DLLs, the tool against
#    each stand-in at the vendor's install path in the build's Wine prefix);
#  - 32-bit: the binding and the tool again, where stdcall decoration and
#    argument widths matter (vendor libraries are often 32-bit), where the
#    machine can run 32-bit programs;
#  - with Qt for Windows: the panels and their installer (see below).
# Usage: scripts/test-windows.sh [QT_FOR_WINDOWS_ARCHIVE]
set -eu
cd "$(dirname "$0")/.."

./scripts/install-deps.sh windows

# Qt for Windows is no Debian package: the archive comes as the first
# argument or in KX_QT_WINDOWS_ARCHIVE (.ci/run passes the one beside the
# checkout, ../shared/windows-qt/qt6-mingw64.tar.xz). With it, one 64-bit
# build (windows-panel) holds everything, without it the windows preset
# holds all but the panels: the core is cross-built once either way.
archive=${1:-${KX_QT_WINDOWS_ARCHIVE:-}}
if [ -z "$archive" ] || [ ! -f "$archive" ]; then
  cmake --preset windows
  cmake --build --preset windows -j "$(nproc)"
  ctest --preset windows -j "$(nproc)"
fi

# Some machines cannot run 32-bit programs at all, under Wine neither: there
# the 32-bit run is skipped, saying so.
if cmake/wine-run.sh build-windows-x86/wine-prefix --can-run-32-bit; then
  cmake --preset windows-x86
  cmake --build --preset windows-x86-binding -j "$(nproc)"
  ctest --preset windows-x86-binding -j "$(nproc)"
else
  echo "test-windows: the 32-bit binding and kx7312ctl are not tested on this machine."
fi

# The two panels, cross-built against Qt for Windows beside the rest, the
# whole suite run under Wine, the panels' start-up on the stand-in libraries
# compared with the Linux panels', and the installer made and tried in a
# Wine prefix of its own (install, the installed programs, uninstall).
if [ -z "$archive" ] || [ ! -f "$archive" ]; then
  echo "test-windows: no Qt for Windows given (${archive:-none}): the panel part is skipped." \
    "Give the archive of Qt 6 built for mingw-w64 (qt6-mingw64.tar.xz, made by its build.sh)" \
    "as the argument, or build the panels on Windows with Qt's own Windows packages."
  exit 0
fi
qt_folder=build-windows-panel/qt6-mingw64
# shellcheck disable=SC3013 # -nt: Debian's sh (dash) and bash both have it
if [ ! -f "$qt_folder/.unpacked" ] || [ "$archive" -nt "$qt_folder/.unpacked" ]; then
  rm -rf "$qt_folder"
  mkdir -p build-windows-panel
  tar -C build-windows-panel -xJf "$archive"
  touch "$qt_folder/.unpacked"
fi
cmake --preset windows-panel
cmake --build --preset windows-panel -j "$(nproc)"
ctest --preset windows-panel -j "$(nproc)"
