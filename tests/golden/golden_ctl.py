#!/usr/bin/env python3
"""The golden comparison of kx7312ctl: every command of both editions on the
simulated board, plain and with --json, every usage refusal, --help and
--version, and a fixed dialogue with `kx7312ctl serve`, recorded whole and
compared with the baseline beside this script.

    golden_ctl.py KX7312CTL            compare; a unified diff on a mismatch
    golden_ctl.py KX7312CTL --update   rewrite the baseline (intended changes only)

Each case runs in a private folder of its own, holding the fixture files
below, with --trace trace.txt. A record holds the command, the exit status,
standard output, standard error, and the bytes of every file the run created
or changed (the trace, captures and their metadata, logs), with control
bytes shown as escapes and a run of equal lines folded into one line and a
count.

Only what differs between runs of the same build is normalised:
- the case's folder and the program's folder (the firmware's path in a
  trace) become <case> and <bin>;
- in a log: the start time of its header and each row's time_utc and
  seconds; in the summary and the progress lines the elapsed time, in its
  JSON "seconds";
- in a capture's metadata: its start time, duration and timestamp spread;
- in the server's dialogue: the port it bound and the clients' ports.
"""

import argparse
import concurrent.futures
import difflib
import os
import re
import shlex
import shutil
import socket
import stat
import subprocess
import sys
import tempfile
import time
from pathlib import Path

HERE = Path(__file__).resolve().parent
BASELINE = HERE / "baseline"

# --- the cases ------------------------------------------------------------------
#
# (name, runs, words[, standard input]). The words are shell words (shlex);
# a Python escape such as \t or \x07 in a word stands for that byte, and
# @LONGPART@, @LONGPATH@, @LONGWORD@ for long texts. Runs:
#   all      both editions, plain and --json: --edition E [--json] --simulate --trace trace.txt
#   v2, cl   that edition only, plain and --json
#   use      --simulate --trace trace.txt, plain only (refusals print no JSON)
#   use-cl   the same with --edition classic
#   raw      the words alone, nothing added

CASES = [
    # The tool's options.
    ("help", "raw", "--help"),
    ("version", "raw", "--version"),
    ("no-command", "raw", "--simulate"),
    ("no-command-after-dashes", "raw", "--simulate --"),
    ("dashes-then-command", "raw", "--simulate --trace trace.txt -- adc write 8310"),
    ("unknown-tool-option", "raw", "--simulate --bogus adc read"),
    ("bad-edition", "raw", "--edition version3 --simulate adc read"),
    ("edition-without-value", "raw", "--edition"),
    ("trace-without-value", "raw", "--simulate --trace"),
    ("sim-settings-without-simulate", "raw", "--sim-settings loopback.json adc read"),
    ("usb-id-with-simulate", "raw", "--simulate --usb-id 1234:7312 adc read"),
    ("usb-bus-with-simulate", "raw", "--simulate --usb-bus 1:5 adc read"),
    ("usb-loader-id-with-simulate", "raw", "--simulate --usb-loader-id 1234:7311 adc read"),
    ("json-flag-with-value", "raw", "--json=yes --simulate adc read"),
    ("sim-settings-missing", "raw", "--simulate --sim-settings missing.json adc read"),
    ("sim-settings-unknown-key", "raw", "--simulate --sim-settings bad-key.json adc read"),
    ("sim-settings-not-json", "raw", "--simulate --sim-settings not-json.json adc read"),
    ("sim-settings-folder", "raw", "--simulate --sim-settings folder adc read"),
    ("trace-unwritable", "raw", "--simulate --trace /dev/full adc write 8310"),
    ("trace-in-missing-folder", "raw", "--simulate --trace nofolder/trace.txt adc write 8310"),
    ("trace-is-folder", "raw", "--simulate --trace folder adc write 8310"),
    ("absent-board", "all", "--sim-settings absent.json adc read"),
    ("loopback-board", "all", "--sim-settings loopback.json dac load 3=7FF adc configure --range vref adc read --format dec"),
    ("signal-board", "v2", "--sim-settings signal.json adc read --format volts adc capture-channel0 ch0.txt"),
    # The start-up alone: a script of comments only.
    ("start-up-only", "all", "script comments-only.txt"),
    # Command words.
    ("unknown-command", "use", "frobnicate"),
    ("unknown-option-first", "raw", "--simulate -- -x"),
    ("serve-with-commands", "use", "adc read serve"),
    ("dac-missing-subcommand", "use", "dac"),
    ("line-missing-subcommand", "use", "line"),
    ("adc-missing-subcommand", "use", "adc"),
    ("dac-bad-subcommand", "use", "dac frob"),
    ("adc-bad-subcommand", "use", "adc frob"),
    ("line-bad-subcommand", "use", "line frob"),
    ("line-extra-word", "use", "line pulse-ldac extra"),
    ("line-extra-option", "use", "line pulse-ldac --bogus"),
    ("tool-option-after-command", "use", "adc read --json"),
    ("tool-option-with-value-after-command", "use", "adc read --trace=t.txt"),
    ("word-with-control-character", "use", "dac write low '\\x07A'"),
    ("long-word-cut", "use", "dac write low @LONGWORD@"),
    ("several-commands", "all", "dac load 0=1 adc read line pulse-ldac adc write 0x8310"),
    # Plain only (JSON's full doubles could differ in the last digit with
    # FFTW's code paths on another processor), and without the trace of the
    # capture's 8193 transfers.
    ("spectrum-signal-board", "raw", "--simulate --sim-settings signal.json adc spectrum --window hann"),
    ("spectrum-no-tone", "raw", "--simulate adc spectrum --channel 5"),
    ("spectrum-bad-window", "use", "adc spectrum --window flat-top"),
    ("read-one-channel", "all", "--sim-settings loopback.json dac load 5=7FF adc read --channel 5 --format dec"),
    ("read-channel-out-of-range", "use", "adc read --channel 16"),
    # dac load.
    ("dac-load", "all", "dac load 0=100 3=FFF 15=0x7ff"),
    ("dac-load-nothing", "all", "dac load"),
    ("dac-load-update", "all", "dac load 1=800 9=0X123 --update"),
    ("dac-load-no-pulse", "all", "dac load --no-pulse 7=1"),
    ("dac-load-update-no-pulse", "v2", "dac load 2=2 --update --no-pulse"),
    ("dac-load-option-value", "use", "dac load --update=yes 1=1"),
    ("dac-load-unknown-option", "use", "dac load --bogus"),
    ("dac-load-not-pair", "use", "dac load 5"),
    ("dac-load-channel-16", "use", "dac load 16=1"),
    ("dac-load-channel-word", "use", "dac load x=1"),
    ("dac-load-channel-empty", "use", "dac load =1"),
    ("dac-load-channel-three-digits", "use", "dac load 003=1"),
    ("dac-load-code-empty", "use", "dac load 3="),
    ("dac-load-code-not-hex", "use", "dac load 3=xyz"),
    ("dac-load-code-too-long", "use", "dac load 3=12345"),
    ("dac-load-code-above", "use", "dac load 3=1000"),
    ("dac-load-code-prefix-only", "use", "dac load 3=0x"),
    ("dac-load-channel-twice", "use", "dac load 3=1 4=2 3=2"),
    # dac write.
    ("dac-write-low", "all", "dac write low 0x1234ABCD"),
    ("dac-write-high", "all", "dac write high FF"),
    ("dac-write-missing-group", "use", "dac write"),
    ("dac-write-bad-group", "use", "dac write middle 1"),
    ("dac-write-missing-word", "use", "dac write low"),
    ("dac-write-empty-word", "use", "dac write low ''"),
    ("dac-write-not-hex", "use", "dac write low 12G"),
    ("dac-write-too-long", "use", "dac write low 0x123456789"),
    # dac power-down.
    ("dac-power-down-normal", "all", "dac power-down low normal 0 7"),
    ("dac-power-down-1k", "all", "dac power-down high 1k 8 11"),
    ("dac-power-down-100k", "v2", "dac power-down low 100k 1 2 3"),
    ("dac-power-down-three-state", "v2", "dac power-down high three-state"),
    ("dac-power-down-masks-kept", "v2", "dac power-down low 1k 1 dac power-down low 100k 2 dac power-down low normal 1"),
    ("dac-power-down-missing-mode", "use", "dac power-down low"),
    ("dac-power-down-bad-mode", "use", "dac power-down low 10k"),
    ("dac-power-down-channel-other-group", "use", "dac power-down low normal 9"),
    ("dac-power-down-channel-high-group", "use", "dac power-down high normal 7"),
    ("dac-power-down-bad-channel", "use", "dac power-down low normal x"),
    ("dac-power-down-option", "use", "dac power-down low normal --all"),
    # dac ldac-register.
    ("dac-ldac-register-low", "all", "dac ldac-register low 0 1 2"),
    ("dac-ldac-register-high-none", "all", "dac ldac-register high"),
    ("dac-ldac-register-other-group", "use", "dac ldac-register high 3"),
    ("dac-ldac-register-missing-group", "use", "dac ldac-register"),
    # dac reference.
    ("dac-reference-internal", "all", "dac reference low internal"),
    ("dac-reference-external", "all", "dac reference high external"),
    ("dac-reference-bad", "use", "dac reference low inside"),
    ("dac-reference-missing", "use", "dac reference high"),
    # dac clear-code.
    ("dac-clear-code-0000", "all", "dac clear-code low 0x0000"),
    ("dac-clear-code-0800", "all", "dac clear-code high 0800"),
    ("dac-clear-code-0fff", "v2", "dac clear-code low 0xfff dac clear-code high 800 dac clear-code high 0"),
    ("dac-clear-code-bad", "use", "dac clear-code low 0x0001"),
    ("dac-clear-code-empty", "use", "dac clear-code low ''"),
    ("dac-clear-code-missing", "use", "dac clear-code low"),
    # line.
    ("line-clr-high", "all", "line clr-high"),
    ("line-clr-low", "all", "line clr-low"),
    ("line-ldac-high", "all", "line ldac-high"),
    ("line-ldac-low", "all", "line ldac-low"),
    ("line-pulse-ldac", "all", "line pulse-ldac"),
    # adc configure.
    ("adc-configure-defaults", "all", "adc configure"),
    ("adc-configure-vref-weak", "all", "adc configure --range vref --weak"),
    ("adc-configure-2xvref", "all", "adc configure --range=2xvref"),
    ("adc-configure-coding", "v2", "adc configure --coding binary adc configure --coding=twos --weak"),
    ("adc-configure-coding-classic", "use-cl", "adc configure --coding binary"),
    ("adc-configure-range-missing", "use", "adc configure --range"),
    ("adc-configure-range-bad", "use", "adc configure --range 3xvref"),
    ("adc-configure-coding-bad", "use", "adc configure --coding gray"),
    ("adc-configure-weak-value", "use", "adc configure --weak=yes"),
    ("adc-configure-unknown", "use", "adc configure --strong"),
    ("adc-configure-word", "use", "adc configure vref"),
    # adc read.
    ("adc-read", "all", "dac load 0=100 5=800 15=FFF adc read"),
    ("adc-read-dec", "all", "dac load 0=100 5=800 adc read --format dec"),
    ("adc-read-hex", "all", "adc read --format=hex"),
    ("adc-read-volts", "v2", "dac load 0=100 5=800 15=FFF adc read --format volts --reference 2.048"),
    ("adc-read-volts-twos", "v2", "dac load 0=100 5=800 15=FFF adc configure --range vref adc read --format volts --reference=+5"),
    ("adc-read-volts-classic", "use-cl", "adc read --format volts"),
    ("adc-read-reference-classic", "use-cl", "adc read --reference 2.5"),
    ("adc-read-format-bad", "use", "adc read --format oct"),
    ("adc-read-format-missing", "use", "adc read --format"),
    ("adc-read-reference-missing", "use", "adc read --reference"),
    ("adc-read-reference-not-number", "use", "adc read --reference 2,5"),
    ("adc-read-reference-empty", "use", "adc read --reference ''"),
    ("adc-read-reference-infinite", "use", "adc read --reference inf"),
    ("adc-read-reference-nan", "use", "adc read --reference nan"),
    ("adc-read-reference-too-large", "use", "adc read --reference 1e39"),
    ("adc-read-reference-too-small", "use", "adc read --reference 1e-50"),
    ("adc-read-reference-beyond-box", "use", "adc read --reference 100000"),
    ("adc-read-reference-plus-minus", "use", "adc read --reference +-1"),
    ("adc-read-unknown", "use", "adc read --average 3"),
    # adc write.
    ("adc-write", "all", "adc write 8310 adc write 0x0a adc write FFFF"),
    ("adc-write-missing", "use", "adc write"),
    ("adc-write-too-long", "use", "adc write 12345"),
    ("adc-write-not-hex", "use", "adc write 83G0"),
    ("adc-write-empty", "use", "adc write ''"),
    # adc capture and capture-channel0.
    ("adc-capture", "all", "dac load 0=100 1=200 15=FFF adc capture samples.txt"),
    ("adc-capture-metadata", "all", "dac load 0=100 1=200 15=FFF adc configure --range vref adc capture samples.txt --metadata"),
    ("adc-capture-metadata-reference", "v2", "adc capture samples.txt --metadata --reference 2.048"),
    ("adc-capture-channel0", "all", "dac load 0=ABC adc capture-channel0 ch0.txt"),
    ("adc-capture-channel0-metadata", "all", "dac load 0=ABC adc capture-channel0 ch0.txt --metadata"),
    ("adc-capture-replaces-file", "v2", "adc capture exists.csv"),
    ("adc-capture-name-with-blank", "v2", "script quoted-capture.txt"),
    ("adc-capture-missing-file", "use", "adc capture"),
    ("adc-capture-empty-name", "use", "adc capture ''"),
    ("adc-capture-control-name", "use", "adc capture 'a\\tb.txt'"),
    ("adc-capture-long-name", "use", "adc capture @LONGPATH@"),
    ("adc-capture-long-part", "use", "adc capture folder/@LONGPART@"),
    ("adc-capture-folder", "use", "adc capture folder"),
    ("adc-capture-missing-folder", "use", "adc capture nofolder/samples.txt"),
    ("adc-capture-metadata-value", "use", "adc capture samples.txt --metadata=yes"),
    ("adc-capture-reference-without-metadata", "use", "adc capture samples.txt --reference 2.5"),
    ("adc-capture-reference-zero", "use", "adc capture samples.txt --metadata --reference 0"),
    ("adc-capture-reference-above-five", "use", "adc capture samples.txt --metadata --reference 5.01"),
    ("adc-capture-reference-classic", "use-cl", "adc capture samples.txt --metadata --reference 2.5"),
    ("adc-capture-unknown", "use", "adc capture samples.txt --fast"),
    ("adc-capture-channel0-folder", "use", "adc capture-channel0 folder"),
    ("adc-capture-device", "all", "adc write 8310 adc capture /dev/null adc read"),
    ("adc-capture-fifo", "v2", "adc capture fifo"),
    ("adc-capture-read-only", "v2", "adc capture-channel0 read-only.txt"),
    ("adc-capture-channel0-device", "v2", "adc capture-channel0 /dev/null"),
    # setup save and load.
    # Plain only: the file is the record, and --json's runs would repeat it.
    ("setup-save", "use", "dac load 3=7FF dac power-down low 1k 0 1 line ldac-low adc configure --weak setup save s.json"),
    ("setup-save-classic", "use-cl", "dac load 3=7FF dac power-down low 1k 0 1 line ldac-low adc configure --weak setup save s.json"),
    ("setup-load-bad-field", "use", "setup load bad-setup.json"),
    ("setup-load-missing-file", "use", "setup load"),
    ("calibration-kept", "v2", "calibration show calibration save --adc 3:40:2 --dac 12:-2:0.5 --dac-reference high:2.49 calibration show calibration clear --adc 3 calibration clear calibration clear"),
    ("calibration-applied", "v2", "calibration save --adc 3:40:2 --adc-reference 2.4 dac load 3=400 adc read --format volts --channel 3 adc read --format volts --channel 3 --reference 2.50 adc read --format volts --channel 3 --calibration none"),
    ("calibration-save-bad", "use", "calibration save --adc 3:4000:0"),
    ("calibration-save-nothing", "use", "calibration save"),
    ("calibration-file-missing", "use", "adc read --calibration missing.json"),
    ("calibration-histogram-without-input", "use", "adc histogram --channel 0 --samples 4096 --save-calibration"),
    # adc log (an interval far above the run's length: one row, whatever the machine's load).
    ("adc-log", "all", "adc log run.csv --every 1h --for 50ms"),
    ("adc-log-two-rows", "v2", "adc log run.csv --every 1s --for 1500ms --channels 3"),
    ("adc-log-options", "all", "dac load 0=800 3=400 9=FFF adc configure --range vref adc log run.csv --every=1h --for=10ms --channels 0,3,8-11 --average 4 --quiet"),
    ("adc-log-reference", "v2", "adc configure --coding binary adc log run.csv --every 1d --for 0.01 --reference 2.048 --channels=all --average=1"),
    ("adc-log-overwrite", "v2", "adc log exists.csv --every 1h --for 10ms --overwrite"),
    ("adc-log-missing-file", "use", "adc log"),
    ("adc-log-missing-every", "use", "adc log run.csv --for 1s"),
    ("adc-log-every-missing-value", "use", "adc log run.csv --every"),
    ("adc-log-every-not-time", "use", "adc log run.csv --every soon"),
    ("adc-log-every-zero", "use", "adc log run.csv --every 0s"),
    ("adc-log-every-too-short", "use", "adc log run.csv --every 0.5ms"),
    ("adc-log-every-too-long", "use", "adc log run.csv --every 25h"),
    ("adc-log-for-ten-years", "use", "adc log run.csv --every 1s --for 3661d"),
    ("adc-log-for-negative", "use", "adc log run.csv --every 1s --for -1m"),
    ("adc-log-channels-bad", "use", "adc log run.csv --every 1s --channels 0,16"),
    ("adc-log-channels-range-backwards", "use", "adc log run.csv --every 1s --channels 11-8"),
    ("adc-log-channels-twice", "use", "adc log run.csv --every 1s --channels 0-3,2"),
    ("adc-log-average-zero", "use", "adc log run.csv --every 1s --average 0"),
    ("adc-log-average-too-many", "use", "adc log run.csv --every 1s --average 100001"),
    ("adc-log-average-word", "use", "adc log run.csv --every 1s --average many"),
    ("adc-log-reference-classic", "use-cl", "adc log run.csv --every 1s --reference 2.5"),
    ("adc-log-reference-above-five", "use", "adc log run.csv --every 1s --reference 6"),
    ("adc-log-reference-bad", "use", "adc log run.csv --every 1s --reference x"),
    ("adc-log-overwrite-value", "use", "adc log run.csv --every 1s --overwrite=yes"),
    ("adc-log-quiet-value", "use", "adc log run.csv --every 1s --quiet=yes"),
    ("adc-log-unknown", "use", "adc log run.csv --every 1s --loud"),
    ("adc-log-exists", "use", "adc log exists.csv --every 1s"),
    ("adc-log-folder", "use", "adc log folder --every 1s"),
    ("adc-log-missing-folder", "use", "adc log nofolder/run.csv --every 1s"),
    ("adc-log-fifo", "use", "adc log fifo --every 1s --for 1s"),
    ("adc-log-fifo-overwrite", "v2", "adc log fifo --every 1s --for 1s --overwrite"),
    ("adc-log-device", "v2", "adc log /dev/null --every 1s --for 1s --overwrite"),
    ("adc-log-read-only", "v2", "adc log read-only.txt --every 1s --for 1s --overwrite"),
    # script.
    ("script-staircase", "v2", "script staircase.txt"),
    ("script-staircase-classic", "cl", "script staircase-classic.txt"),
    ("script-standard-input", "all", "script -", "dac load 0=1\nadc write 8310\n"),
    ("script-and-commands", "v2", "adc write 8310 script staircase.txt line clr-low"),
    ("script-crlf-bom-comments", "all", "script crlf.txt"),
    ("script-missing-file", "use", "script"),
    ("script-cannot-open", "use", "script missing.txt"),
    ("script-fifo", "use", "script fifo"),
    ("script-folder", "use", "script folder"),
    ("script-too-large", "use", "script huge.txt"),
    ("script-empty-name", "use", "script ''"),
    ("script-control-name", "use", "script 'a\\x1bb'"),
    ("script-standard-input-twice", "use", "script - script -", "adc read\n"),
    ("script-standard-input-bad-line", "use", "script -", "adc read\nadc read --format oct\n"),
    ("script-bad-line", "use", "script bad-line.txt"),
    ("script-bad-line-classic", "use-cl", "script volts.txt"),
    ("script-nested", "use", "script nested.txt"),
    ("script-two-on-a-line", "use", "script two-on-a-line.txt"),
    ("script-script-after-command", "use", "script command-then-script.txt"),
    ("script-open-quote", "use", "script open-quote.txt"),
    ("script-quote-not-ending-word", "use", "script quote-end.txt"),
    ("script-quote-inside-word", "use", "script quote-start.txt"),
    ("script-too-many-words", "use", "script many-words.txt"),
    ("script-serve-line", "use", "script serve-line.txt"),
    ("script-option-line", "use", "script option-line.txt"),
    ("script-unknown-command-line", "use", "script unknown-line.txt"),
    ("script-missing-capture-folder", "use", "script capture-missing-folder.txt"),
    # serve: its refusals (its dialogue is below).
    ("serve-bad-listen", "use", "serve --listen 127.0.0.1"),
    ("serve-bad-port", "use", "serve --listen 127.0.0.1:70000"),
    ("serve-bad-address", "use", "serve --listen 300.1.1.1:5025"),
    ("serve-log-folder-missing", "use", "serve --log-folder nofolder"),
    ("serve-log-folder-file", "use", "serve --log-folder exists.csv"),
    ("serve-max-clients-zero", "use", "serve --max-clients 0"),
    ("serve-max-clients-too-many", "use", "serve --max-clients 10001"),
    ("serve-unknown-option", "use", "serve --bogus"),
    ("serve-extra-word", "use", "serve extra"),
    ("serve-absent-board", "raw", "--simulate --sim-settings absent.json --trace trace.txt serve --listen 127.0.0.1:0"),
    # list: the boards attached, with no start-up.
    ("list", "v2", "list"),
    ("list-serial-from-settings", "use", "--sim-settings serial.json --board-name bench-3 list"),
    ("list-absent-board", "use", "--sim-settings absent.json list"),
    ("list-then-command", "use", "list adc read"),
    ("command-then-list", "use", "adc read list"),
    ("list-extra-word", "use", "list extra"),
    ("usb-serial-with-simulate", "raw", "--simulate --usb-serial KX-1 list"),
]

# The lines sent to `kx7312ctl serve`, one at a time, each followed by
# SYSTem:ERRor? and *IDN?: the record holds the line's replies and the error.
# (*IDN? itself, which ends every turn, is recorded first.)
SCPI_LINES = [
    "*RST",
    "*TST?",
    "*OPC?",
    "*ESR?",
    "*STB?",
    "*ESE 36",
    "*ESE?",
    "*SRE 4",
    "*SRE?",
    "SYSTem:VERSion?",
    "SYST:ERR:COUN?",
    "DAC:LOAD 0,256,3,#H7FF,15,4095",
    "DAC:WORDs?",
    "DAC:UPDate 1,#B100000000",
    "DAC:WORDS? DAC",
    "DAC:LOAD:PULSe OFF",
    "DAC:LOAD:PULSe?",
    "dac:load:puls on;puls?",
    "DAC:WRITe LOW,#H1234ABCD",
    "DAC:PDOWn HIGH,R1K,8,11",
    "DAC:PDOW LOW,TSTATE",
    "DAC:PDOWn:MASK?",
    "DAC:LDAC LOW,0,1,2",
    "DAC:LDAC:REGister HIGH",
    "DAC:REFerence LOW,INTernal",
    "DAC:CLEar HIGH,#H800",
    "DAC:CLEar:CODE LOW,0",
    "LINE:CLR HIGH",
    "LINE:CLR LOW",
    "LINE:LDAC HIGH",
    "LINE:LDAC LOW",
    "LINE:LDAC:PULSe",
    "ADC:CONFigure VREF,WEAK,BINary",
    "ADC:CONFigure?",
    "ADC:CONF",
    "ADC:CONF?",
    "ADC:READ?",
    "ADC:READ:VOLTage? 2.048",
    "ADC:READ:VOLT?",
    "ADC:RESults?",
    "ADC:WRITe #H8310",
    "ADC:WRITe? #H8310",
    "ADC:CAPTure:CHANnel0? CODes",
    "ADC:CAPT? CODES",
    "LOG:CHANnels 0,3,8",
    "LOG:CHAN?",
    'LOG:CHANnels "0,3,8-11"',
    "LOG:CHAN ALL",
    "LOG:AVERage 10",
    "LOG:AVER?",
    "LOG:OVERwrite ON",
    "LOG:OVER?",
    "LOG:REFerence 2.048",
    "LOG:REF?",
    "LOG:STATe?",
    "LOG:STOP",
    "*RST",
    "DAC:WORDs?",
    # Refusals, each read back with SYSTem:ERRor?.
    "FOO",
    "DAC:LOAD 3,5000",
    "DAC:LOAD 16,1",
    "DAC:LOAD 3",
    "DAC:LOAD 3,7FF",
    "DAC:LOAD 3,0x7FF",
    "DAC:WRITe MIDDLE,1",
    "DAC:PDOWn LOW,R10K",
    "DAC:PDOWn LOW,NORMal,9",
    "DAC:CLEar LOW,5",
    "ADC:CONFigure VREF3X",
    "ADC:READ:VOLTage? 7",
    "ADC:WRITe #H12345",
    "ADC:READ? 3",
    "LOG:STARt \"../outside.csv\",1",
    "LOG:STARt \"/tmp/absolute.csv\",1",
    "LOG:STARt \"x.csv\",0",
    "LOG:AVERage 0",
    "LOG:CHANnels 16",
    "LOG:REFerence 6",
    "DAC:LOAD 1,1;FOO",
    "DAC:LOAD 1,1,",
    "*ESE 256",
    "ABCDEFGHIJKLMNOPQRSTUVWXYZ?",
    "\"unterminated",
    "*CLS",
    "*ESR?",
    "SYSTem:ERRor?",
]
SCPI_LINES_CLASSIC = [
    "ADC:CONFigure VREF,WEAK,BINary",
    "ADC:CONFigure VREF,WEAK",
    "ADC:CONF?",
    "ADC:READ:VOLTage? 2.5",
    "LOG:REFerence 2.5",
    "ADC:READ?",
    "DAC:LOAD 0,1",
    "DAC:WORDs?",
]

# --- the fixture every case's folder starts with --------------------------------

STAIRCASE = (
    "# staircase.txt: a code per DAC channel, read back in volts, then 512 sample sets\n"
    "dac load 0=100 1=200 2=300 3=400 4=500 5=600 6=700 7=800 8=900 9=A00 10=B00 11=C00"
    " 12=D00 13=E00 14=F00 15=FFF\n"
    "adc configure --coding binary\n"
    "adc read --format dec\n"
    "adc capture samples.txt\n"
)
FIXTURE = {
    "staircase.txt": STAIRCASE.encode(),
    "staircase-classic.txt": STAIRCASE.replace("--coding binary", "--range vref").encode(),
    "crlf.txt": b"\xef\xbb\xbf# a comment\r\n\r\n   \t\r\ndac load 1=1 # the rest is a comment\r\n"
    b'  adc write "8310"\r\n# done\r\n',
    "comments-only.txt": b"# nothing but comments\n\n   # and blanks\n",
    "bad-line.txt": b"adc read\n# the next line is refused\ndac load 3=1000\nadc read\n",
    "volts.txt": b"adc read\nadc read --format volts\n",
    "nested.txt": b"adc read\nscript staircase.txt\n",
    "two-on-a-line.txt": b"adc read adc write 8310\n",
    "command-then-script.txt": b"adc read script staircase.txt\n",
    "open-quote.txt": b'adc capture "a b\n',
    "quote-end.txt": b'adc capture "a b"c\n',
    "quote-start.txt": b'adc capture a"b c"\n',
    "many-words.txt": ("dac power-down low normal" + " 1" * 62 + "\n").encode(),
    "serve-line.txt": b"serve --listen 127.0.0.1:0\n",
    "option-line.txt": b"--json adc read\n",
    "unknown-line.txt": b"\n\nread adc\n",
    "quoted-capture.txt": b'adc capture "with blank.txt"\n',
    "capture-missing-folder.txt": b"adc capture nofolder/samples.txt\n",
    "absent.json": b'{"present": false}\n',
    "serial.json": b'{"serial": "BENCH 7"}\n',
    "loopback.json": b'{"external_reference": 5.0}\n',
    "signal.json": b'{"inputs": {"0": {"offset": 2.5, "amplitude": 2.0, "frequency": 0.0605,'
    b' "phase": 0, "noise": 2, "seed": 1}, "3": 1.25}}\n',
    "bad-key.json": b'{"presence": true}\n',
    "not-json.json": b"{present: true\n",
    "exists.csv": b"an earlier run's file\n",
    "read-only.txt": b"kept as it is\n",
    "bad-setup.json": b'{"format": "kx7312-setup", "version": 1, "edition": "KX7312(version3)"}\n',
}
LONG = {
    "@LONGPART@": "p" * 256,
    "@LONGPATH@": "/".join(["d" * 200] * 21),
    "@LONGWORD@": "0123456789" * 5,
}


def make_fixture(folder: Path) -> None:
    for name, data in FIXTURE.items():
        (folder / name).write_bytes(data)
    (folder / "read-only.txt").chmod(0o444)
    (folder / "folder").mkdir()
    os.mkfifo(folder / "fifo")


def make_huge(folder: Path) -> None:
    # One byte above the largest script taken; sparse, so it costs nothing
    # (and only the case that names it has it: reading it would).
    with open(folder / "huge.txt", "wb") as huge:
        huge.truncate(64 * 1024 * 1024 + 1)


# --- records ----------------------------------------------------------------------


def shown_line(line: bytes) -> str:
    """A line as the record shows it: printable ASCII and UTF-8 as they are,
    every other byte (CR, tab, NUL ...) as an escape."""
    text = line.decode("utf-8", errors="surrogateescape")
    out = []
    for c in text:
        code = ord(c)
        if 0xDC80 <= code <= 0xDCFF:
            out.append(f"\\x{code - 0xDC00:02X}")
        elif c == "\\":
            out.append("\\\\")
        elif c == "\t":
            out.append("\\t")
        elif c == "\r":
            out.append("\\r")
        elif code < 0x20 or code == 0x7F:
            out.append(f"\\x{code:02X}")
        else:
            out.append(c)
    return "".join(out)


LONGEST_FOLDED_BLOCK = 64


def fold(lines: list, i: int) -> tuple:
    """(block length, repeats) of the block at `i` that repeats over the most
    lines right after itself; (1, 0) where none does."""
    best = (1, 0)
    for size in range(1, min(LONGEST_FOLDED_BLOCK, (len(lines) - i) // 2) + 1):
        block = lines[i:i + size]
        repeats = 0
        while lines[i + (repeats + 1) * size:i + (repeats + 2) * size] == block:
            repeats += 1
        if repeats * size > best[0] * best[1]:
            best = (size, repeats)
    return best


def shown_bytes(data: bytes) -> list:
    """The record's lines of `data`: a block of up to 64 lines repeated right
    after itself is folded into one copy and its count; a missing last line
    end is marked."""
    if not data:
        return ["(empty)"]
    lines = data.split(b"\n")
    last_open = lines[-1] != b""
    if not last_open:
        lines.pop()
    shown = []
    i = 0
    while i < len(lines):
        size, repeats = fold(lines, i)
        shown += ["| " + shown_line(line) for line in lines[i:i + size]]
        if repeats == 1 and size == 1:
            shown.append("(the line above once more)")
        elif repeats:
            what = "the line above" if size == 1 else f"the {size} lines above"
            shown.append(f"({what} {repeats} more times)")
        i += size * (repeats + 1)
    if last_open:
        shown.append("(no line end)")
    return shown


class Normaliser:
    """What differs between runs of one build, replaced by a name."""

    def __init__(self, case_folder: Path, program: Path):
        self.pairs = [
            (str(case_folder.resolve()).encode(), b"<case>"),
            (str(case_folder).encode(), b"<case>"),
            (str(program.resolve().parent).encode(), b"<bin>"),
            (str(program.parent).encode(), b"<bin>"),
        ]

    def paths(self, data: bytes) -> bytes:
        for old, new in self.pairs:
            data = data.replace(old, new)
        return data


ISO_TIME = rb"\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d(\.\d+)?Z"


def normalise_output(data: bytes) -> bytes:
    # The summary and progress lines' elapsed time, JSON's "seconds".
    data = re.sub(rb"(Logged \d+ rows \(.*?\) in )\d+:\d\d:\d\d", rb"\1<elapsed>", data)
    data = re.sub(rb"(adc log: \d+ rows, .*?missed, )\d+:\d\d:\d\d", rb"\1<elapsed>", data)
    data = re.sub(rb'"seconds":[0-9.eE+-]+', rb'"seconds":"<seconds>"', data)
    return data


def normalise_file(name: str, data: bytes) -> bytes:
    if name.endswith(".json") and b'"transfers"' in data:
        # A capture's metadata: when it started, how long it took, how its
        # transfers spread in time.
        data = re.sub(rb'("start_time"\s*:\s*)"[^"]*"', rb'\1"<time>"', data)
        data = re.sub(rb'("[a-z_]*seconds"\s*:\s*)[0-9.eE+-]+', rb'\1"<seconds>"', data)
    if "kx7312/calibration/" in name:
        data = re.sub(rb'("(written|date)"\s*:\s*)"[^"]*"', rb'\1"<time>"', data)
    if data.startswith(b"# kx7312-log "):
        data = re.sub(rb'("started":)"[^"]*"', rb'\1"<time>"', data)
        data = re.sub(rb"(?m)^" + ISO_TIME + rb",[0-9.]+,", b"<time>,<seconds>,", data)
    return data


def snapshot(folder: Path) -> dict:
    """Every regular file under `folder` by its relative name, with its bytes."""
    files = {}
    for path in sorted(folder.rglob("*")):
        if path.is_file() and not path.is_symlink() and path.name != "huge.txt":
            try:
                files[path.relative_to(folder).as_posix()] = path.read_bytes()
            except OSError as error:
                files[path.relative_to(folder).as_posix()] = f"<unreadable: {error}>".encode()
    return files


def expand_words(text: str) -> list:
    words = []
    for word in shlex.split(text):
        for key, value in LONG.items():
            word = word.replace(key, value)
        if "\\" in word:
            word = word.encode("latin-1").decode("unicode_escape")
        words.append(word)
    return words


def variants(runs: str) -> list:
    """(label, words before the command) per run of a case."""
    board = ["--simulate", "--trace", "trace.txt"]
    editions = {"all": ["version2", "classic"], "v2": ["version2"], "cl": ["classic"]}
    if runs in editions:
        out = []
        for edition in editions[runs]:
            for json in (False, True):
                label = edition + (" --json" if json else "")
                out.append((label, ["--edition", edition] + (["--json"] if json else []) + board))
        return out
    if runs == "use":
        return [("usage", board)]
    if runs == "use-cl":
        return [("usage classic", ["--edition", "classic"] + board)]
    if runs == "raw":
        return [("raw", [])]
    raise ValueError(f"unknown runs {runs!r}")


def private_home(folder: Path) -> dict:
    """The environment with HOME and XDG_CONFIG_HOME in the case's folder, so
    that a developer's own calibration never changes a record."""
    home = folder / "home"
    return dict(os.environ, HOME=str(home), XDG_CONFIG_HOME=str(home / ".config"))


def run_one(program: Path, work: Path, case: tuple, index: int, label: str, prefix: list) -> str:
    name, _, words = case[:3]
    stdin = case[3].encode() if len(case) > 3 else None
    folder = work / f"{index:03d}-{len(prefix)}-{label.replace(' ', '_')}"
    folder.mkdir()
    make_fixture(folder)
    before = snapshot(folder)
    if "huge.txt" in words:
        make_huge(folder)
    argv = [str(program)] + prefix + expand_words(words)
    try:
        done = subprocess.run(argv, cwd=folder, input=stdin,
                              stdin=None if stdin is not None else subprocess.DEVNULL,
                              capture_output=True, timeout=60, env=private_home(folder))
        status = str(done.returncode)
        out, err = done.stdout, done.stderr
    except subprocess.TimeoutExpired as timeout:
        status = "timed out after 60 s"
        out, err = timeout.stdout or b"", timeout.stderr or b""
    after = snapshot(folder)
    norm = Normaliser(folder, program)
    lines = [f"=== {label}: kx7312ctl " + shlex.join(prefix) + (" " if prefix else "") + words,
             f"--- exit status {status}", "--- standard output"]
    if name.startswith("calibration"):
        # When a calibration was saved, in its file and as shown.
        out, err = (re.sub(ISO_TIME, b"<time>", data) for data in (out, err))
    lines += shown_bytes(normalise_output(norm.paths(out)))
    lines.append("--- standard error")
    lines += shown_bytes(normalise_output(norm.paths(err)))
    for file, data in after.items():
        if before.get(file) == data:
            continue
        lines.append(f"--- file {file}")
        lines += shown_bytes(normalise_file(file, norm.paths(data)))
    for file in before:
        if file not in after:
            lines.append(f"--- file {file} removed")
    return "\n".join(lines) + "\n"


def run_cases(program: Path, work: Path) -> dict:
    records = {}
    jobs = []
    with concurrent.futures.ThreadPoolExecutor(max_workers=4) as pool:
        for index, case in enumerate(CASES):
            for label, prefix in variants(case[1]):
                jobs.append((case[0], pool.submit(run_one, program, work, case, index, label, prefix)))
        for name, job in jobs:
            records[name] = records.get(name, "") + job.result()
    return {f"ctl/{name}.txt": text for name, text in records.items()}


# --- the server -------------------------------------------------------------------


class Server:
    def __init__(self, program: Path, folder: Path, edition: str):
        self.folder = folder
        self.err_path = folder / "server.err"
        self.err = open(self.err_path, "wb")
        self.process = subprocess.Popen(
            [str(program), "--edition", edition, "--simulate", "--trace", "trace.txt", "serve",
             "--listen", "127.0.0.1:0", "--log-folder", "logs", "--no-vxi11"],
            cwd=folder, stdout=subprocess.PIPE, stderr=self.err, stdin=subprocess.DEVNULL,
            env=private_home(folder))
        self.first = self.process.stdout.readline()
        port = re.match(rb"listening on 127\.0\.0\.1:(\d+)\n", self.first)
        if not port:
            self.stop()
            raise RuntimeError(f"the server did not say where it listens: {self.first!r}")
        self.port = int(port.group(1))

    def stop(self) -> tuple:
        self.process.terminate()
        try:
            rest, _ = self.process.communicate(timeout=30)
        except subprocess.TimeoutExpired:
            self.process.kill()
            rest, _ = self.process.communicate()
        self.err.close()
        return self.process.returncode, self.first + rest, self.err_path.read_bytes()


class Client:
    def __init__(self, port: int):
        self.sock = socket.create_connection(("127.0.0.1", port), timeout=30)
        self.buffer = b""

    def line(self) -> bytes:
        while b"\n" not in self.buffer:
            chunk = self.sock.recv(65536)
            if not chunk:
                raise RuntimeError("the server closed the connection")
            self.buffer += chunk
        line, _, self.buffer = self.buffer.partition(b"\n")
        return line

    def ask(self, text: str, marker: bytes) -> list:
        """The line's replies, then SYSTem:ERRor?'s. A query that failed
        answers nothing, so *IDN? (whose reply `marker` is) ends the turn."""
        self.sock.sendall(text.encode() + b"\nSYSTem:ERRor?\n*IDN?\n")
        replies = []
        while (line := self.line()) != marker:
            replies.append(line)
        return replies


def run_server(program: Path, work: Path, edition: str, script: list) -> str:
    folder = work / f"serve-{edition}"
    folder.mkdir()
    (folder / "logs").mkdir()
    server = Server(program, folder, edition)
    lines = [f"=== kx7312ctl --edition {edition} --simulate --trace trace.txt serve "
             "--listen 127.0.0.1:0 --log-folder logs --no-vxi11"]
    try:
        client = Client(server.port)
        client.sock.sendall(b"*IDN?\n")
        marker = client.line()
        lines.append("< " + shown_line(marker) + "  (the *IDN? reply that ends each turn)")
        for text in script:
            lines.append("> " + shown_line(text.encode()))
            for reply in client.ask(text, marker):
                lines.append("< " + shown_line(reply))
        client.sock.close()
        # The server's log says the client went before it says it stops.
        for _ in range(1000):
            if b"disconnected" in server.err_path.read_bytes():
                break
            time.sleep(0.01)
    finally:
        status, out, err = server.stop()
    norm = Normaliser(folder, program)
    out = re.sub(rb"127\.0\.0\.1:\d+", b"127.0.0.1:<port>", norm.paths(out))
    err = re.sub(rb"127\.0\.0\.1:\d+", b"127.0.0.1:<port>", norm.paths(err))
    lines += [f"--- exit status {status}", "--- standard output"] + shown_bytes(out)
    lines += ["--- standard error"] + shown_bytes(err)
    lines += [f"--- file trace.txt"] + shown_bytes(norm.paths((folder / "trace.txt").read_bytes()))
    return "\n".join(lines) + "\n"


# --- compare or update --------------------------------------------------------------


def main() -> int:
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("program", type=Path, help="the built kx7312ctl")
    parser.add_argument("--update", action="store_true",
                        help="rewrite the baseline from this build (for intended changes only)")
    parser.add_argument("--baseline", type=Path, default=BASELINE)
    parser.add_argument("--no-serve", action="store_true", help="leave out the server's dialogue")
    args = parser.parse_args()
    program = args.program.resolve()

    with tempfile.TemporaryDirectory(prefix="kx-golden-") as work_name:
        work = Path(work_name)
        records = run_cases(program, work)
        if not args.no_serve:
            records["serve/version2.txt"] = run_server(program, work, "version2", SCPI_LINES)
            records["serve/classic.txt"] = run_server(program, work, "classic", SCPI_LINES_CLASSIC)
        # The fixture's read-only file and FIFO must not stop the clean-up.
        for path in work.rglob("*"):
            if path.is_file() and not path.is_symlink():
                path.chmod(stat.S_IRUSR | stat.S_IWUSR)

    if args.update:
        for sub in ("ctl", "serve"):
            shutil.rmtree(args.baseline / sub, ignore_errors=True)
        for name, text in records.items():
            path = args.baseline / name
            path.parent.mkdir(parents=True, exist_ok=True)
            path.write_text(text, encoding="utf-8", errors="surrogateescape")
        print(f"golden_ctl: wrote {len(records)} records to {args.baseline}")
        return 0

    expected = {}
    for sub in ("ctl",) + (() if args.no_serve else ("serve",)):
        for path in sorted((args.baseline / sub).glob("*.txt")):
            expected[f"{sub}/{path.name}"] = path.read_text(encoding="utf-8",
                                                            errors="surrogateescape")
    failed = 0
    for name in sorted(set(expected) | set(records)):
        want = expected.get(name, "")
        got = records.get(name, "")
        if want == got:
            continue
        failed += 1
        sys.stdout.writelines(difflib.unified_diff(
            want.splitlines(keepends=True), got.splitlines(keepends=True),
            fromfile=f"baseline/{name}" if name in expected else "/dev/null",
            tofile=f"this build/{name}" if name in records else "/dev/null"))
    if failed:
        print(f"golden_ctl: {failed} of {len(set(expected) | set(records))} records differ from "
              "the baseline; if the change is intended, rewrite it with --update")
        return 1
    print(f"golden_ctl: {len(records)} records match the baseline")
    return 0


if __name__ == "__main__":
    sys.exit(main())
