#!/bin/sh
# Starts a panel program with an option it must refuse and checks that it
# stops with status 2, naming the problem on standard error, without opening
# a window: refuse_option.sh PROGRAM EXPECTED-TEXT ARGS...
set -u
program=$1
expected=$2
shift 2
err=$(mktemp)
trap 'rm -f "$err"' EXIT INT TERM
QT_QPA_PLATFORM=offscreen timeout 20 "$program" "$@" >/dev/null 2>"$err"
status=$?
cat "$err"
if [ "$status" -ne 2 ]; then
  echo "expected exit status 2, got $status" >&2
  exit 1
fi
if ! grep -qF -- "$expected" "$err"; then
  echo "standard error does not say: $expected" >&2
  exit 1
fi
echo "refused with status 2: $*"
