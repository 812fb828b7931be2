#!/bin/sh
# Starts a panel program on the simulated board as an engineer would and
# checks that its window comes up: start_program.sh PROGRAM offscreen|xvfb [EXPECTED]
# With EXPECTED, the start-up traffic must be that file's word for word (the
# firmware image named by PROGRAM_FOLDER/KX7312FW.hex); the Windows build's
# panels under Wine are held to the same file.
set -eu
program=$1
platform=$2
expected=${3:-}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT INT TERM

# Start-up is done, and the window shown, once the fourth ADC word of the
# load sequence is on the trace.
wait_for_startup() {
  i=0
  while [ "$i" -lt 200 ]; do
    if [ -f "$work/trace.txt" ] && [ "$(grep -c 'code=0xE4' "$work/trace.txt")" -ge 4 ]; then
      return 0
    fi
    sleep 0.1
    i=$((i + 1))
  done
  echo "start-up traffic did not arrive:" >&2
  cat "$work/trace.txt" >&2 || true
  return 1
}

case "$platform" in
  offscreen)
    QT_QPA_PLATFORM=offscreen "$program" --simulate --trace "$work/trace.txt" &
    pid=$!
    status=0
    wait_for_startup || status=1
    if ! kill -0 "$pid" 2>/dev/null; then
      echo "the program ended instead of showing its window" >&2
      status=1
    fi
    kill "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
    if [ "$status" -eq 0 ] && [ -n "$expected" ]; then
      sed 's#path=.*/KX7312FW\.hex$#path=PROGRAM_FOLDER/KX7312FW.hex#' "$work/trace.txt" |
        diff -u "$expected" - >&2 || status=1
    fi
    [ "$status" -eq 0 ] && echo "window up: $program (offscreen)"
    exit "$status"
    ;;
  xvfb)
    export program work
    # shellcheck disable=SC2016 # expanded by the inner shell, from the exported variables
    xvfb-run -a sh -c '
      QT_QPA_PLATFORM=xcb "$program" --simulate --trace "$work/trace.txt" &
      pid=$!
      i=0
      found=1
      while [ "$i" -lt 200 ]; do
        if xwininfo -root -tree 2>/dev/null | grep -q "\"KX7312 Evaluation Software\""; then
          found=0
          break
        fi
        sleep 0.1
        i=$((i + 1))
      done
      kill "$pid" 2>/dev/null || true
      wait "$pid" 2>/dev/null || true
      [ "$found" -eq 0 ] || echo "no window titled KX7312 Evaluation Software appeared" >&2
      exit "$found"
    '
    echo "window up: $program (Xvfb)"
    ;;
  *)
    echo "usage: start_program.sh PROGRAM offscreen|xvfb" >&2
    exit 2
    ;;
esac
