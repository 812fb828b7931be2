#!/bin/sh
# kx7312ctl under Wine against a stand-in link library, installed where the
# program looks for it; checks the exit status, the messages and the trace.
#   ctl_case.sh CASE WORK STANDINS CTL WINE_RUN PREFIX
# CASE: cvn, cvn-split, cvn-absent, cvn-missing, cvn-other-bitness,
# cvn-no-request (KX7312(version2), library at its install path in the
# prefix); io, io-missing, io-no-request (KX7312, library found by the search
# through WINEPATH). KX_PROGRAM_BITS: the tool's bitness as its messages
# write it, "64-bit (x64)" or "32-bit (x86)".
set -eu

case_name=$1 work=$2 standins=$3 ctl=$4 wine_run=$5 prefix=$6
install_dir="$prefix/drive_c/Program Files/Corvane/USB Drivers"

# shellcheck disable=SC1003 # '\\' is a backslash for tr, no quote escaped
windows_path() { printf 'Z:%s' "$1" | tr / '\\'; }
firmware="$(windows_path "$(dirname "$ctl")")\\KX7312FW.hex"

rm -rf "$work"
mkdir -p "$work"
out=$work/stdout.txt err=$work/stderr.txt trace=$work/trace.txt

fail() {
  printf 'FAIL (%s): %s\n' "$case_name" "$*"
  for f in "$out" "$err" "$trace"; do
    echo "--- $(basename "$f")"
    cat "$f" 2>/dev/null || true
  done
  exit 1
}
expect_status() { [ "$status" -eq "$1" ] || fail "exit status $status, expected $1"; }
expect_line() { # FILE NUMBER TEXT
  [ "$(sed -n "$2p" "$1")" = "$3" ] || fail "line $2 of $(basename "$1") is not: $3"
}
expect_text() { grep -qF -- "$2" "$1" || fail "$(basename "$1") lacks: $2"; }
expect_empty() { [ ! -s "$1" ] || fail "$(basename "$1") is not empty"; }

install() { # FOLDER: the stand-in's files go where the vendor installs the library
  rm -rf "$install_dir"
  if [ -n "$1" ]; then
    mkdir -p "$install_dir"
    cp "$standins/$1"/*.dll "$install_dir/"
  fi
}

run() { # ARGUMENTS...: a DAC load and an ADC read after the start-up
  status=0
  "$wine_run" "$prefix" "$ctl" --trace "$trace" "$@" dac load 3=800 adc read >"$out" 2>"$err" ||
    status=$?
  # Text written on Windows ends its lines in CR LF.
  for f in "$out" "$err" "$trace"; do
    [ ! -f "$f" ] || sed -i 's/\r$//' "$f"
  done
}

expect_version2_board() {
  expect_status 0
  expect_empty "$err"
  expect_line "$trace" 1 "search vendor=0x1234 product=0x7312 found=1"
  expect_line "$trace" 2 "connect vendor=0x1234 product=0x7312 board=1 handle=1"
  expect_line "$trace" 3 "download handle=1 status=0 path=$firmware"
  expect_line "$trace" 4 "request handle=1 code=0xE0 value=0x0000 index=0 dir=0 len=0 status=0"
  # DAC3's word 0x00380000 goes out as its two halves, then the LDAC pulse.
  expect_text "$trace" "request handle=1 code=0xD9 value=0x0000 index=56 dir=0 len=0 status=0"
  expect_text "$trace" "request handle=1 code=0xDE value=0x0000 index=0 dir=0 len=0 status=0"
  expect_text "$trace" "request handle=1 code=0xE4 value=0x8F00 index=0 dir=1 len=3 status=0"
  ! grep -q "status=-" "$trace" || fail "a request failed"
  # Half of full scale at twice the reference, in two's complement.
  expect_text "$out" "ADC3 0xC00"
}

case $case_name in
  cvn | cvn-split)
    install "$case_name"
    run
    expect_version2_board
    ;;
  cvn-absent)
    install cvn
    printf '{"present": false}\n' >"$work/absent.json"
    KX_STANDIN_SETTINGS=$work/absent.json
    export KX_STANDIN_SETTINGS
    run
    expect_status 1
    expect_text "$err" "No Evaluation Board Found"
    expect_line "$trace" 3 "download handle=0 status=1 path=$firmware"
    ;;
  cvn-missing)
    install ""
    run
    expect_status 1
    expect_text "$err" 'The link library c:\Program Files\Corvane\USB Drivers\CVN_CYUSB_USB4.dll could not be loaded: '
    expect_text "$err" "(error 126); there is no such file: put the board's $KX_PROGRAM_BITS CVN_CYUSB_USB4.dll in c:\\Program Files\\Corvane\\USB Drivers"
    expect_text "$err" "No Evaluation Board Found"
    expect_line "$trace" 3 "download handle=0 status=-1 path=$firmware"
    ;;
  cvn-other-bitness)
    install other-bitness
    run
    expect_status 1
    expect_text "$err" 'The link library c:\Program Files\Corvane\USB Drivers\CVN_CYUSB_USB4.dll could not be loaded: '
    expect_text "$err" "(error 193); the file is a "
    expect_text "$err" "library, and this $KX_PROGRAM_BITS program loads only $KX_PROGRAM_BITS ones: put the board's $KX_PROGRAM_BITS CVN_CYUSB_USB4.dll in its place"
    expect_text "$err" "No Evaluation Board Found"
    expect_line "$trace" 3 "download handle=0 status=-1 path=$firmware"
    ;;
  cvn-no-request)
    install cvn-no-request
    run
    expect_status 1
    expect_text "$err" 'CVN_CYUSB_USB4.dll could not be loaded: it has no function Vendor_Request: '
    expect_text "$err" "(error 127)"
    # The library answered until the first call of the missing function.
    expect_line "$trace" 3 "download handle=1 status=0 path=$firmware"
    expect_line "$trace" 4 "request handle=1 code=0xE0 value=0x0000 index=0 dir=0 len=0 status=-1"
    ;;
  io | io-no-request)
    folder=io-decorated
    [ "$case_name" = io ] || folder=$case_name
    WINEPATH=$(windows_path "$standins/$folder")
    export WINEPATH
    run --edition classic
    if [ "$case_name" = io ]; then
      expect_status 0
      expect_empty "$err"
      expect_line "$trace" 1 "loadfirmware status=0 path=$firmware"
      expect_line "$trace" 2 "request code=0xE0 value=0x0000 index=0 dir=0 len=0 status=0"
      expect_text "$trace" "request code=0xD9 value=0x0000 index=56 dir=0 len=0 status=0"
      ! grep -q "status=-" "$trace" || fail "a request failed"
      expect_text "$out" "ADC3 0xC00"
    else
      expect_status 1
      expect_text "$err" "UsbBoardIo.dll could not be loaded: it has no function VendorIORequest under any of the names "
      expect_text "$err" "(error 127)"
      expect_line "$trace" 1 "loadfirmware status=0 path=$firmware"
    fi
    ;;
  io-missing)
    run --edition classic
    expect_status 1
    expect_text "$err" "The link library UsbBoardIo.dll could not be loaded: "
    expect_text "$err" "(error 126); no folder of the library search holds it: put the board's $KX_PROGRAM_BITS UsbBoardIo.dll beside the program, in "
    expect_text "$err" "No Evaluation Board Found"
    expect_line "$trace" 1 "loadfirmware status=-1 path=$firmware"
    ;;
  *)
    echo "ctl_case.sh: unknown case $case_name" >&2
    exit 2
    ;;
esac
echo "PASS ($case_name)"
