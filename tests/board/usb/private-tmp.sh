#!/bin/sh
# Runs a command with TMPDIR set to a fresh folder of its own under /tmp and
# removes the folder afterwards, whatever the command left in it.
#
# umockdev puts its test bed, and the Unix sockets that answer the emulated
# device's ioctls, under TMPDIR. A socket path may not exceed 108 bytes, so
# the folder must stay short wherever the build tree lives; one folder per
# run keeps tests started side by side (ctest -j) apart.
# Usage: private-tmp.sh COMMAND [ARGS...]
set -u
dir=$(mktemp -d /tmp/kx-usb.XXXXXX) || exit 1
trap 'rm -rf "$dir"' EXIT
trap 'exit 129' HUP
trap 'exit 130' INT
trap 'exit 143' TERM
TMPDIR=$dir "$@"
status=$?
exit "$status"
