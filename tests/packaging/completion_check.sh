# shellcheck shell=bash
# Shared by the completion tests: sourced after the completion file, with
# COMPLETE_PROGRAM and COMPLETE_FUNCTION set.
# check EXPECTED WORDS... : the completion of the last word (may be empty)
# must be EXPECTED, sorted and joined with blanks.
failures=0
check() {
    local expected=$1
    shift
    COMP_WORDS=("$@")
    COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
    COMP_LINE="$*"
    COMP_POINT=${#COMP_LINE}
    COMPREPLY=()
    "$COMPLETE_FUNCTION" "$COMPLETE_PROGRAM" "${COMP_WORDS[COMP_CWORD]}" "${COMP_WORDS[COMP_CWORD - 1]}"
    local got
    got=$(printf "%s\n" "${COMPREPLY[@]}" | LC_ALL=C sort | tr '\n' ' ')
    if [[ $got != "$expected " ]]; then
        echo "after '$*': expected '$expected', got '${got% }'" >&2
        failures=$((failures + 1))
    fi
}
