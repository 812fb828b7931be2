#!/bin/sh
# Every option a program's --help lists appears in its manual page.
# Usage: man_options.sh PROGRAM MANPAGE
set -eu
program=$1
page=$2
help=$("$program" --help)
# Roff writes a hyphen in an option as "\-".
text=$(sed 's/\\-/-/g' "$page")
missing=""
for option in $(printf '%s\n' "$help" | grep -oE -- '--[a-z][a-z0-9-]*' | sort -u); do
    case $text in
        *"$option"*) ;;
        *) missing="$missing $option" ;;
    esac
done
if [ -n "$missing" ]; then
    echo "$page does not mention:$missing" >&2
    exit 1
fi
count=$(printf '%s\n' "$help" | grep -oE -- '--[a-z][a-z0-9-]*' | sort -u | wc -l)
if [ "$count" -lt 3 ]; then
    echo "$program --help lists only $count options: not a help text?" >&2
    exit 1
fi
echo "$page mentions all $count options of $program --help"
