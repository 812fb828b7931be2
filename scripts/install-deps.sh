#!/bin/sh
# Installs every Debian package needed to build, test and run the panel.
# The only install step of the project; safe to run again.
# Usage: scripts/install-deps.sh [windows] [fuzz]
#   windows: also the mingw-w64 cross compilers, Wine with its fonts and NSIS,
#            for scripts/test-windows.sh
#   fuzz:    also clang 14 and its runtime libraries (libFuzzer, the
#            sanitizers), for scripts/fuzz.sh
set -eu

PACKAGES="
  build-essential cmake ninja-build pkg-config git
  qt6-base-dev libgl-dev
  qt6-charts-dev libqt6opengl6-dev libfftw3-dev
  libfmt-dev nlohmann-json3-dev libcli11-dev libasio-dev
  python3 python3-pyvisa python3-pyvisa-py python3-numpy
  libusb-1.0-0-dev libumockdev-dev umockdev
  libtirpc-dev rpcsvc-proto rpcbind python3-pymeasure
  libgtest-dev libgmock-dev googletest libbenchmark-dev
  clang-format clang-tidy shellcheck
  xvfb xauth x11-utils
  lintian appstream desktop-file-utils bash-completion
"
for set in "$@"; do
  case "$set" in
    windows)
      PACKAGES="$PACKAGES g++-mingw-w64-x86-64-posix g++-mingw-w64-i686-posix wine wine64 wine32:i386 fonts-wine nsis"
      ;;
    fuzz)
      # libclang_rt.fuzzer-x86_64.a and the sanitizer runtimes of clang 14
      # live in libclang-rt-14-dev.
      PACKAGES="$PACKAGES clang-14 libclang-rt-14-dev"
      ;;
    *)
      echo "install-deps: unknown package set '$set' (windows, fuzz)" >&2
      exit 2
      ;;
  esac
done

missing=""
for p in $PACKAGES; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing="$missing $p"
  fi
done

if [ -z "$missing" ]; then
  echo "install-deps: all packages present"
  exit 0
fi

SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi

export DEBIAN_FRONTEND=noninteractive
echo "install-deps: installing$missing"
# Wine's 32-bit half, for the 32-bit Windows build, comes from the i386 side.
case "$missing" in
  *:i386*)
    dpkg --print-foreign-architectures | grep -qx i386 || $SUDO dpkg --add-architecture i386
    ;;
esac
$SUDO apt-get update -q
# shellcheck disable=SC2086
$SUDO apt-get install -y -q --no-install-recommends $missing
