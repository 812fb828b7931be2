#!/bin/bash
# The kx7312-view completion offers its options, their values and files.
# Usage: view_completion.sh COMPLETION_FILE
set -u
source /usr/share/bash-completion/bash_completion
# shellcheck source=/dev/null # the completion file under test, named by CTest
source "$1"

COMPLETE_PROGRAM=kx7312-view
COMPLETE_FUNCTION=_kx7312_view
source "$(dirname "$0")/completion_check.sh"

folder=$(mktemp -d)
trap 'rm -rf "$folder"' EXIT
mkdir "$folder/shots"
touch "$folder/sine.txt" "$folder/run.npz"
cd "$folder" || exit 1
check "--reference --report" kx7312-view --re
check "2xvref vref" kx7312-view --range ""
check "blackman-harris hann rectangular" kx7312-view sine.txt --window ""
check "1 10 11 12 13 14 15" kx7312-view --report sine.txt --channel 1
check "shots" kx7312-view sine.txt --screenshots ""
check "run.npz shots sine.txt" kx7312-view --follow ""
check "run.npz shots" kx7312-view sine.txt --export ""
exit $((failures > 0))
