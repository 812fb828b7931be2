#!/bin/sh
# The project's static checks: shellcheck on its shell scripts and clang-tidy
# (the checks of .clang-tidy, with build/compile_commands.json from the
# default build) on its own C++ files.
# Usage: scripts/lint.sh [shell] [tidy] [tidy-tests]   (shell and tidy without arguments)
#   tidy         the program sources: every folder but tests/
#   tidy-tests   the tests' sources, which double the time (about 7 s of
#                processor time a file: past six minutes on two cores together)
#   KX_LINT_JOBS   clang-tidy processes at once (default 2)
#   KX_LINT_BUILD  the build folder whose compile_commands.json is read (default build)
#   KX_LINT_CHECKS checks added to or taken from .clang-tidy's ("-clang-analyzer-*")
#
# Paths in PENDING have their findings shown without failing the run: for a
# folder being rewritten. None is pending now.
set -eu
cd "$(dirname "$0")/.."

PENDING=""
jobs=${KX_LINT_JOBS:-2}
build=${KX_LINT_BUILD:-build}
what=${*:-shell tidy}
failed=0

is_pending() {
  for path in $PENDING; do
    case "$1" in
      "$path"/*) return 0 ;;
    esac
  done
  return 1
}

# Every file of the checkout that sh or bash runs or sources.
shell_files() {
  git ls-files '*.sh' .ci/run packaging/debian/postinst packaging/debian/postrm 'packaging/completion/*'
}

run_shellcheck() {
  checked="" pending=""
  for file in $(shell_files); do
    if is_pending "$file"; then pending="$pending $file"; else checked="$checked $file"; fi
  done
  # shellcheck disable=SC2086 # the lists are file names without blanks
  if shellcheck -x --source-path=SCRIPTDIR $checked; then
    echo "shellcheck: $(echo $checked | wc -w) scripts clean"
  else
    failed=1
  fi
  if [ -n "$pending" ]; then
    # The completion files carry no shebang: bash reads them.
    # shellcheck disable=SC2086
    shellcheck --shell=bash --format=gcc $pending || echo "shellcheck: the findings above are in paths still pending:$pending"
  fi
}

run_clang_tidy() {
  folders=$1
  if [ ! -f "$build/compile_commands.json" ]; then
    echo "lint: no $build/compile_commands.json; build the default preset first" >&2
    exit 2
  fi
  root=$(pwd -P)
  # The project's own sources as the build compiles them (not Qt's generated
  # files in the build folder, not the Windows-only files this build skips).
  own="^$root/($folders)/.*\\.cpp\$"
  pending_pattern="^$root/($(echo "$PENDING" | tr ' ' '|'))/"
  files=$(sed -n 's/^ *"file": "\(.*\)",\{0,1\}$/\1/p' "$build/compile_commands.json" |
    grep -E "$own" | sort -u)
  started=$(date +%s)
  # One run over every file; each finding is then judged by the path it
  # stands in, so that a pending header included elsewhere does not fail it.
  # shellcheck disable=SC2086 # one argument per file
  run-clang-tidy -quiet -j "$jobs" -p "$build" ${KX_LINT_CHECKS:+-checks="$KX_LINT_CHECKS"} $files \
    >"$build/clang-tidy.log" 2>&1 || true
  seconds=$(($(date +%s) - started))
  # run-clang-tidy colours its output whatever it is written to.
  esc=$(printf '\033')
  findings=$(sed "s/$esc\[[0-9;]*m//g" "$build/clang-tidy.log" |
    grep -E '^/[^:]+:[0-9]+:[0-9]+: (warning|error):' | sort -u || true)
  own_findings=$(printf '%s\n' "$findings" | grep -Ev "$pending_pattern" | grep . || true)
  pending_findings=$(printf '%s\n' "$findings" | grep -E "$pending_pattern" || true)
  if [ -n "$pending_findings" ]; then
    printf '%s\n' "$pending_findings"
    echo "clang-tidy: the $(printf '%s\n' "$pending_findings" | wc -l) findings above are in paths still pending ($PENDING)"
  fi
  if [ -n "$own_findings" ]; then
    printf '%s\n' "$own_findings" >&2
    echo "clang-tidy: $(printf '%s\n' "$own_findings" | wc -l) findings (the whole output is in $build/clang-tidy.log)" >&2
    failed=1
  elif grep -q "^Error\|clang-tidy.*not found" "$build/clang-tidy.log"; then
    cat "$build/clang-tidy.log" >&2
    failed=1
  else
    echo "clang-tidy: $(printf '%s\n' "$files" | wc -l) files, nothing outside the pending paths, in $seconds s"
  fi
}

for step in $what; do
  case "$step" in
    shell) run_shellcheck ;;
    tidy) run_clang_tidy "adc|analysis|bench|board|commands|ctl|dac|logger|panel|programs|scpi|session|view" ;;
    tidy-tests) run_clang_tidy "tests" ;;
    *)
      echo "lint: unknown step '$step' (shell, tidy, tidy-tests)" >&2
      exit 2
      ;;
  esac
done
exit "$failed"
