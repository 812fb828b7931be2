#!/bin/bash
# The kx7312ctl completion offers what the command line accepts at each
# place: options, command words, low|high, modes, channels, file names.
# Usage: completion.sh COMPLETION_FILE
set -u
source /usr/share/bash-completion/bash_completion
# shellcheck source=/dev/null # the completion file under test, named by CTest
source "$1"

COMPLETE_PROGRAM=kx7312ctl
COMPLETE_FUNCTION=_kx7312ctl
source "$(dirname "$0")/completion_check.sh"

check "adc" kx7312ctl ad
check "--edition" kx7312ctl --ed
check "classic version2" kx7312ctl --edition ""
check "load" kx7312ctl dac lo
check "high low" kx7312ctl dac write ""
check "100k 1k normal three-state" kx7312ctl dac power-down low ""
check "external internal" kx7312ctl dac reference high ""
check "0x0000 0x0800 0x0FFF" kx7312ctl dac clear-code low ""
check "clr-high clr-low" kx7312ctl line clr
check "10= 11= 12= 13= 14= 15= 1=" kx7312ctl dac load 1
check "--calibration --no-pulse --update" kx7312ctl dac load 0=800 --
check "2xvref vref" kx7312ctl adc configure --range ""
check "dec hex volts" kx7312ctl adc read --format ""
check "capture capture-channel0" kx7312ctl adc cap
check "--average --calibration --channels --every --for --overwrite --quiet --reference" kx7312ctl adc log run.csv --
check "100ms 1s" kx7312ctl adc log run.csv --every ""
check "10m 1h" kx7312ctl adc log run.csv --every 1s --for ""
check "0-3 all" kx7312ctl adc log run.csv --every 1s --channels ""
check "1 10 100" kx7312ctl adc log run.csv --every 1s --average ""
check "10 11 12 13 14 15 8 9 adc calibration dac line script setup" kx7312ctl dac power-down high normal ""
check "0 1 2 3 4 5 6 7 adc calibration dac line script setup" kx7312ctl dac power-down low 1k 3 ""
check "10 11 12 13 14 15 8 9 adc calibration dac line script setup" kx7312ctl dac ldac-register high ""
check "configure" kx7312ctl --simulate dac load 0=1 adc conf
check "script serve setup" kx7312ctl s
check "load save" kx7312ctl setup ""
check "--calibration --listen --log-folder --max-clients --no-vxi11 --portmapper --setup-folder --vxi11" kx7312ctl --simulate serve --
check "64" kx7312ctl serve --max-clients ""
check "127.0.0.1:111" kx7312ctl serve --portmapper ""
check "--log-folder" kx7312ctl serve --log
check "" kx7312ctl serve --listen ""
# The classic edition has no volts, no reference and no Coding list.
check "dec hex" kx7312ctl --edition classic adc read --format ""
check "--channel --format" kx7312ctl --edition=classic adc read --
check "--range --weak" kx7312ctl --edition classic adc configure --
check "--metadata" kx7312ctl --edition classic adc capture run.txt --

# File names where a command takes a file.
folder=$(mktemp -d)
trap 'rm -rf "$folder"' EXIT
touch "$folder/samples.dat"
check "$folder/samples.dat" kx7312ctl adc capture "$folder/sam"
check "$folder/samples.dat" kx7312ctl script "$folder/s"
check "$folder/samples.dat" kx7312ctl adc log "$folder/sa"

if ((failures > 0)); then
    exit 1
fi
echo "kx7312ctl completion: all cases offered as expected"
