#!/bin/sh
# Runs a Windows program under Wine in the build folder's own Wine prefix:
#   wine-run.sh PREFIX PROGRAM.exe [ARGUMENTS...]
#   wine-run.sh PREFIX --start    create the prefix, start a lasting Wine server
#   wine-run.sh PREFIX --stop     stop the Wine server of the prefix
#   wine-run.sh PREFIX --can-run-32-bit   status 0 when Wine runs 32-bit programs here
# The Wine server and Wine's own background programs (services, devices) are
# always started apart, with their standard streams away from the caller:
# started by the program under test they would inherit its pipes and keep
# CTest waiting until they end.
set -eu

prefix=$1
shift

WINEPREFIX=$prefix
WINEDEBUG=${KX_WINEDEBUG:--all}
# No Mono or Gecko installer dialogs in a fresh prefix, and no display at all.
WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
export WINEPREFIX WINEDEBUG WINEDLLOVERRIDES
unset DISPLAY WAYLAND_DISPLAY

# Debian's wine (and wineboot through it) starts the 32-bit loader whenever
# it is installed. Where the kernel cannot run 32-bit programs ("Exec format
# error") the 64-bit loader still runs 64-bit programs: use it directly.
wine=wine
if [ -z "${WINELOADER:-}" ] && [ -x /usr/lib/wine/wine64 ] &&
  ! /usr/lib/wine/wine --version >/dev/null 2>&1; then
  WINELOADER=/usr/lib/wine/wine64
  export WINELOADER
  wine=$WINELOADER
fi

log=$prefix.log

# prepare LINGER: the prefix exists and a server runs that stays LINGER seconds
# after its last program (empty: until stopped), with the background programs
# up. Several tests may start at once: one prepares, the others wait.
prepare() {
  mkdir -p "$prefix"
  exec 9>"$prefix.lock"
  flock 9
  # The lock's descriptor must not outlive this function in a server.
  if wineserver "-p$1" </dev/null >>"$log" 2>&1 9>&-; then
    if [ ! -f "$prefix/system.reg" ]; then
      if ! "$wine" wineboot.exe -i </dev/null >>"$log" 2>&1 9>&- || [ ! -d "$prefix/drive_c/windows" ]; then
        echo "wine-run: cannot create the Wine prefix $prefix; see $log" >&2
        exit 1
      fi
    fi
    # Windows dialogs ask for "MS Shell Dlg", which Wine maps to Tahoma; Qt
    # looks for the font's file in the Windows font folder, where a new
    # prefix has none, and would fall back to whatever font comes first (a
    # math font, in which a line edit's text does not show). Wine's own
    # Tahoma (fonts-wine) stands in for the one Windows has.
    fonts="$prefix/drive_c/windows/Fonts"
    for face in tahoma tahomabd; do
      if [ ! -f "$fonts/$face.ttf" ] && [ -f "/usr/share/wine/fonts/$face.ttf" ]; then
        cp "/usr/share/wine/fonts/$face.ttf" "$fonts/"
      fi
    done
    # A new server: bring up the background programs here, not in the test.
    "$wine" cmd.exe /c exit </dev/null >>"$log" 2>&1 9>&-
  fi
  flock -u 9
  exec 9>&-
}

case "${1:-}" in
  --start)
    # Replace a short-lived server (started by test discovery) by a lasting one.
    wineserver -k </dev/null >/dev/null 2>&1 || true
    wineserver -w </dev/null >/dev/null 2>&1 || true
    prepare ""
    echo "wine-run: prefix $prefix ready, $("$wine" --version 2>/dev/null) server running"
    ;;
  --stop)
    wineserver -k </dev/null >/dev/null 2>&1 || true
    wineserver -w </dev/null >/dev/null 2>&1 || true
    echo "wine-run: server of $prefix stopped"
    ;;
  --can-run-32-bit)
    if [ "$wine" != wine ]; then
      echo "wine-run: this machine cannot run Wine's 32-bit loader (Exec format error):" \
        "32-bit Windows programs cannot run here"
      exit 1
    fi
    ;;
  "")
    echo "usage: wine-run.sh PREFIX PROGRAM.exe [ARGUMENTS...] | --start | --stop | --can-run-32-bit" >&2
    exit 2
    ;;
  *)
    prepare 30
    # Wine's loader now and then fails to start a program under load
    # ("ShellExecuteEx failed: Internal error") before it has run a line;
    # such a start is tried again, up to three times in all. The program's
    # standard error is passed on when it ends, so that the loader's message
    # can be recognised; its standard output streams as it comes.
    err=$(mktemp "${TMPDIR:-/tmp}/wine-run.XXXXXX")
    trap 'rm -f "$err"' EXIT
    tries=1
    while :; do
      status=0
      "$wine" "$@" 2>"$err" || status=$?
      if [ "$status" -ne 0 ] && [ "$tries" -lt 3 ] &&
        grep -q '^ShellExecuteEx failed: Internal error' "$err"; then
        tries=$((tries + 1))
        sleep 1
        continue
      fi
      cat "$err" >&2
      exit "$status"
    done
    ;;
esac
