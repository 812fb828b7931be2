#!/bin/sh
# Installs what is needed, builds and runs the whole test suite through CTest.
# Usage: scripts/test.sh [preset]   (preset: default, or asan for the
# AddressSanitizer and UndefinedBehaviorSanitizer build)
set -eu
cd "$(dirname "$0")/.."
preset="${1:-default}"

./scripts/install-deps.sh
cmake --preset "$preset"
cmake --build --preset "$preset" -j "$(nproc)"
ctest --preset "$preset" -j "$(nproc)"
