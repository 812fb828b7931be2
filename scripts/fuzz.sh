#!/bin/sh
# Builds the libFuzzer harnesses of tests/fuzz with clang (the fuzz preset:
# AddressSanitizer, UndefinedBehaviorSanitizer, no Qt) and runs each from its
# seed corpus for FUZZ_SECONDS seconds (default 60), FUZZ_JOBS at a time
# (default 2). A crash, a leak, a sanitizer report, a hang or a broken
# promise of a parser fails the run; the input that did it is kept in
# build-fuzz/findings/ and its path printed. The previous run's findings are
# removed when a run starts.
# Usage: scripts/fuzz.sh [HARNESS ...]   (default: every harness, as named
# by the folders of tests/fuzz/corpus)
set -eu
cd "$(dirname "$0")/.."

./scripts/install-deps.sh fuzz
cmake --preset fuzz
cmake --build --preset fuzz -j "$(nproc)"

seconds="${FUZZ_SECONDS:-60}"
jobs="${FUZZ_JOBS:-2}"
out=build-fuzz
if [ "$#" -gt 0 ]; then
  harnesses="$*"
else
  harnesses=$(find tests/fuzz/corpus -mindepth 1 -maxdepth 1 -type d -exec basename {} \; | sort)
fi

rm -rf "$out/findings" "$out/logs"
mkdir -p "$out/findings" "$out/logs"

# One harness: its own corpus folder (new inputs go there, the seeds in the
# repository stay as they are), its findings under findings/HARNESS-*.
run_one() {
  name=$1
  mkdir -p "$out/corpus/$name"
  set -- "$out/bin/fuzz_$name" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
    -print_final_stats=1 -artifact_prefix="$out/findings/$name-"
  # A harness's own dictionary, or its family's (ctl.dict for ctl_script).
  for dict in "tests/fuzz/$name.dict" "tests/fuzz/${name%%_*}.dict"; do
    if [ -f "$dict" ]; then
      set -- "$@" -dict="$dict"
      break
    fi
  done
  if UBSAN_OPTIONS=print_stacktrace=1 "$@" "$out/corpus/$name" "tests/fuzz/corpus/$name" \
    >"$out/logs/$name.log" 2>&1; then
    runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$out/logs/$name.log")
    echo "fuzz: $name: no finding in ${seconds} s (${runs:-?} runs)"
  else
    echo "fuzz: $name: FINDING (log: $out/logs/$name.log)"
    echo failed >"$out/logs/$name.failed"
  fi
}

running=""
count=0
for name in $harnesses; do
  if [ ! -x "$out/bin/fuzz_$name" ]; then
    echo "fuzz: no harness $name in $out/bin" >&2
    exit 2
  fi
  run_one "$name" &
  running="$running $!"
  count=$((count + 1))
  if [ "$count" -ge "$jobs" ]; then
    # shellcheck disable=SC2086
    wait $running || true
    running=""
    count=0
  fi
done
# shellcheck disable=SC2086
wait $running || true

failed=$(find "$out/logs" -name '*.failed' -exec basename {} .failed \; | sort)
if [ -n "$failed" ]; then
  for name in $failed; do
    echo "---- $name: the end of $out/logs/$name.log"
    tail -n 40 "$out/logs/$name.log"
  done
  echo "fuzz: findings (replay one with $out/bin/fuzz_HARNESS FILE):"
  find "$out/findings" -type f | sort | sed 's/^/  /'
  exit 1
fi
echo "fuzz: every harness ran ${seconds} s without a finding"
