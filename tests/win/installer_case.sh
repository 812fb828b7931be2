#!/bin/sh
# The Windows installer under Wine, in a Wine prefix of its own: silent
# install into a chosen folder; what it put in place (the programs, the
# firmware image, DLLs that are all loaded and all there, Start-menu
# entries, the uninstall key); the installed kx7312ctl and a panel started
# from the installed folder; silent uninstall; nothing of ours left.
#   installer_case.sh SETUP WORK WINE_RUN PANEL_CASE EXPECTED OBJDUMP PLATFORMS
# PLATFORMS: the build's Qt platform plugins, for the offscreen one, which
# the installer leaves out (a Windows user has a screen).
set -eu

setup=$1 work=$2 wine_run=$3 panel_case=$4 expected=$5 objdump=$6 platforms=$7
prefix=$work/prefix
folder=$prefix/drive_c/KX7312Test/Panels
folder_windows='C:\KX7312Test\Panels'
menu="$prefix/drive_c/ProgramData/Microsoft/Windows/Start Menu/Programs/KX7312"
key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\KX7312'

rm -rf "$work"
mkdir -p "$work"
trap '"$wine_run" "$prefix" --stop >/dev/null 2>&1 || true' EXIT

fail() {
  printf 'FAIL (installer): %s\n' "$*"
  for f in "$work"/*.txt; do
    echo "--- $(basename "$f")"
    cat "$f" 2>/dev/null || true
  done
  exit 1
}
wine() { "$wine_run" "$prefix" "$@"; }
key_present() { wine reg.exe query "$key" >"$work/reg.txt" 2>&1; }

wine --start >"$work/start.txt" 2>&1 || fail "no Wine prefix"
wine "$setup" /S "/D=$folder_windows" >"$work/install.txt" 2>&1 || fail "the installer failed"

for file in 'KX7312(version2).exe' KX7312.exe kx7312ctl.exe KX7312FW.hex Uninstall.exe \
  platforms/qwindows.dll styles/qwindowsvistastyle.dll; do
  [ -f "$folder/$file" ] || fail "not installed: $file"
done
[ ! -e "$folder/platforms/qoffscreen.dll" ] || fail "the tests' platform plugin was installed"

# Only the DLLs needed: every DLL beside the programs is imported by an
# installed file, and every DLL an installed file imports is installed or
# is one of the system's (the prefix's system32 has a file for each).
find "$folder" -name '*.exe' -o -name '*.dll' | while read -r file; do
  "$objdump" -p "$file" | sed -n 's/^[[:space:]]*DLL Name: //p'
done | tr '[:upper:]' '[:lower:]' | sort -u >"$work/imported.txt"
system32=$prefix/drive_c/windows/system32
while read -r dll; do
  # API sets are names the loader maps to system DLLs, not files.
  case $dll in api-ms-win-* | ext-ms-*) continue ;; esac
  [ -f "$folder/$dll" ] || [ -n "$(find "$folder" "$system32" -maxdepth 1 -iname "$dll")" ] ||
    fail "$dll is imported but neither installed nor a system DLL"
done <"$work/imported.txt"
for dll in "$folder"/*.dll; do
  name=$(basename "$dll" | tr '[:upper:]' '[:lower:]')
  grep -qx "$name" "$work/imported.txt" || fail "$name is installed but nothing loads it"
done

# A Start-menu entry for each panel, and one for each on the simulated board.
for panel in 'KX7312(version2)' KX7312; do
  [ -f "$menu/$panel.lnk" ] || fail "no Start-menu entry $panel"
  strings -el "$menu/$panel.lnk" | grep -q -- --simulate && fail "$panel's entry simulates"
  [ -f "$menu/$panel on the Simulated Board.lnk" ] || fail "no simulated-board entry of $panel"
  strings -el "$menu/$panel on the Simulated Board.lnk" | grep -qx -- --simulate ||
    fail "$panel's simulated-board entry lacks --simulate"
done
key_present || fail "no uninstall key"
grep -qF "$folder_windows\\Uninstall.exe" "$work/reg.txt" || fail "the uninstall key names no uninstaller"

status=0
wine "$folder/kx7312ctl.exe" --simulate adc read >"$work/ctl.txt" 2>&1 || status=$?
[ "$status" -eq 0 ] || fail "the installed kx7312ctl ended with status $status"
[ "$(grep -c '^ADC[0-9]* 0x' "$work/ctl.txt")" -eq 16 ] || fail "the installed kx7312ctl read no ADC"

# shellcheck disable=SC1003 # one backslash, no quote escaped
QT_QPA_PLATFORM_PLUGIN_PATH=$(printf 'Z:%s' "$platforms" | tr / '\\')
export QT_QPA_PLATFORM_PLUGIN_PATH
"$panel_case" simulate "$work/panel" "" "$folder/KX7312(version2).exe" "$expected" \
  "$wine_run" "$prefix" >"$work/panel.txt" 2>&1 || fail "the installed panel did not start up"

# The uninstaller runs a copy of itself from the temporary folder and returns
# at once; what it removes goes while it runs.
wine "$folder/Uninstall.exe" /S >"$work/uninstall.txt" 2>&1 || fail "the uninstaller failed"
i=0
while [ -e "$folder" ] || key_present; do
  i=$((i + 1))
  [ "$i" -le 120 ] || fail "still there a minute after the uninstall: $(ls -R "$folder" 2>&1)"
  sleep 0.5
done
[ ! -e "$menu" ] || fail "the Start-menu entries are left: $(ls "$menu")"
[ ! -e "$prefix/drive_c/KX7312Test" ] || [ -z "$(ls -A "$prefix/drive_c/KX7312Test")" ] ||
  fail "files left beside the install folder"
wine --stop >/dev/null 2>&1
rm -rf "$prefix"
echo "PASS (installer)"
