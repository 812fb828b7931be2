#!/bin/bash
# The kx7312-view completion offers its options, their values and files.
# Usage: view_completion.sh COMPLETION_FILE
set -u
source /usr/share/bash-completion/bash_completion
source "$1"

failures=0
check() {
    local expected=$1
    shift
    COMP_WORDS=("$@")
    COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
    COMP_LINE="$*"
    COMP_POINT=${#COMP_LINE}
    COMPREPLY=()
    _kx7312_view kx7312-view "${COMP_WORDS[COMP_CWORD]}" "${COMP_WORDS[COMP_CWORD - 1]}"
    local got
    got=$(printf "%s\n" "${COMPREPLY[@]}" | LC_ALL=C sort | tr '\n' ' ')
    if [[ $got != "$expected " ]]; then
        echo "after '$*': expected '$expected', got '${got% }'" >&2
        failures=$((failures + 1))
    fi
}

folder=$(mktemp -d)
trap 'rm -rf "$folder"' EXIT
mkdir "$folder/shots"
touch "$folder/sine.txt"
cd "$folder" || exit 1
check "--reference --report" kx7312-view --re
check "2xvref vref" kx7312-view --range ""
check "blackman-harris hann rectangular" kx7312-view sine.txt --window ""
check "1 10 11 12 13 14 15" kx7312-view --report sine.txt --channel 1
check "shots" kx7312-view sine.txt --screenshots ""
check "shots sine.txt" kx7312-view --follow ""
exit $((failures > 0))
