#!/bin/sh
# A panel program under Wine, offscreen, started as an operator starts it:
# its start-up traffic must be word for word the Linux panel's (EXPECTED,
# which tests/programs/start_program.sh holds the Linux programs to).
#   panel_case.sh LIBRARY WORK STANDINS PROGRAM EXPECTED WINE_RUN PREFIX [ARGUMENTS...]
# LIBRARY: cvn (the stand-in CVN_CYUSB_USB4.dll at the vendor's install path
# in the prefix), io (the stand-in UsbBoardIo.dll found through WINEPATH) or
# simulate (--simulate, no library).
set -eu

library=$1 work=$2 standins=$3 program=$4 expected=$5 wine_run=$6 prefix=$7
shift 7
rm -rf "$work"
mkdir -p "$work"
trace=$work/trace.txt

fail() {
  printf 'FAIL (%s): %s\n' "$library" "$*"
  for f in "$work"/*.txt; do
    echo "--- $(basename "$f")"
    cat "$f"
  done
  exit 1
}

case $library in
  cvn)
    install_dir="$prefix/drive_c/Program Files/Corvane/USB Drivers"
    rm -rf "$install_dir"
    mkdir -p "$install_dir"
    cp "$standins/cvn/CVN_CYUSB_USB4.dll" "$install_dir/"
    ;;
  io)
    # shellcheck disable=SC1003 # one backslash, no quote escaped
    WINEPATH=$(printf 'Z:%s' "$standins/io-decorated" | tr / '\\')
    export WINEPATH
    ;;
  *) set -- --simulate "$@" ;;
esac

QT_QPA_PLATFORM=offscreen "$wine_run" "$prefix" "$program" --trace "$trace" "$@" \
  >"$work/stdout.txt" 2>"$work/stderr.txt" &
pid=$!
# Start-up is done once the fourth ADC word of the load sequence is traced;
# the window stays up until it is told to end.
i=0
while [ "$(grep -c 'code=0xE4' "$trace" 2>/dev/null)" != 4 ] && [ "$i" -lt 600 ]; do
  kill -0 "$pid" 2>/dev/null || fail "the program ended before its start-up was done"
  sleep 0.1
  i=$((i + 1))
done
kill -0 "$pid" 2>/dev/null || status=ended
"$wine_run" "$prefix" taskkill.exe /F /IM "$(basename "$program")" >"$work/taskkill.txt" 2>&1 || true
wait "$pid" 2>/dev/null || true
[ "${status:-}" != ended ] || fail "the program ended instead of showing its window"

# Text written on Windows ends its lines in CR LF; the firmware image is
# named by the program's folder.
sed -e 's/\r$//' -e 's#path=.*[/\\]KX7312FW\.hex$#path=PROGRAM_FOLDER/KX7312FW.hex#' "$trace" |
  diff -u "$expected" - >"$work/difference.txt" ||
  fail "the start-up traffic differs from the Linux panel's ($expected)"
echo "PASS ($library)"
