#!/bin/sh
# Installs what is needed, builds, and starts KX7312(version2) on the
# simulated board. Extra arguments go to the program.
set -eu
cd "$(dirname "$0")/.."

./scripts/install-deps.sh
cmake --preset default
cmake --build --preset default -j "$(nproc)"

program="build/bin/KX7312(version2)"
if [ ! -x "$program" ]; then
  echo "run-panel: the core and the simulated board are built; the window is not part of this build yet."
  exit 0
fi
exec "$program" --simulate "$@"
