#!/usr/bin/env python3
"""kx7312-view on long data logs against numpy.loadtxt, in one run on one
machine: wall time, CPU time and peak memory of each as a process.

Usage: compare_view_log.py BUILD_DIR [--folder DIR] [--runs N]

Writes with kx_bench_view_log's generator a day (864,000 rows at ten a
second, sixteen channels with volts) and a week (6,048,000 rows) into DIR
(kept, and used again when there) or a private temporary folder (removed),
then takes the median of N runs (default 3) of, on the day:
  - kx7312-view --report FILE
  - the window as a process (offscreen: kx7312-view --screenshots, which
    starts Qt, opens the log, draws it and saves the window three times)
  - numpy.loadtxt of the same file with Debian's python3 (/usr/bin/python3)
and, once, --report and the window on the week; then kx_bench_view's
window made, opening the day and drawing it (BM_OpenAndDrawDayLog, wall
time) and its one --follow update of 100 rows on a ten-hour log
(BM_FollowHundredRowsTenHourLog/0, CPU time), medians of three. Prints a table
with the targets; exits 1 when one is missed.
"""
import argparse
import json
import os
import shutil
import statistics
import subprocess
import sys
import tempfile
import time

DAY_ROWS = 864_000
WEEK_ROWS = 6_048_000

# What a person would write to read the log with NumPy: gap rows (empty
# figures) filtered out, the time stamps and status words left out.
NUMPY_READ = """
import sys, numpy
with open(sys.argv[1]) as f:
    rows = (line for line in f if ",gap," not in line)
    data = numpy.loadtxt(rows, delimiter=",", skiprows=2, usecols=[1] + list(range(4, 36)))
codes = data[:, 1::2]
print(data.shape, codes.mean(axis=0), codes.std(axis=0), codes.min(axis=0), codes.max(axis=0))
"""


def measure(command, env=None):
    """Runs `command` with its output thrown away: (wall s, CPU s, peak MB)."""
    start = time.monotonic()
    with open(os.devnull, "wb") as sink:
        process = subprocess.Popen(command, stdout=sink, stderr=sink, env=env)
        _, status, usage = os.wait4(process.pid, 0)
    wall = time.monotonic() - start
    process.returncode = os.waitstatus_to_exitcode(status)
    if process.returncode != 0:
        sys.exit(f"failed ({process.returncode}): {' '.join(command)}")
    return wall, usage.ru_utime + usage.ru_stime, usage.ru_maxrss / 1024


def write_log(generator, folder, rows):
    path = os.path.join(folder, f"log{rows}.csv")
    if not os.path.exists(path):
        subprocess.run([generator, "--write-log", str(rows), path], check=True)
    return path


def bench_view_ms(bench_view, name, env):
    """One kx_bench_view case: the median of its iterations, (wall, CPU) ms."""
    output = subprocess.run(
        [bench_view, f"--benchmark_filter={name}", "--benchmark_format=json",
         "--benchmark_repetitions=3", "--benchmark_report_aggregates_only=true"],
        check=True, capture_output=True, text=True, env=env).stdout
    for entry in json.loads(output)["benchmarks"]:
        if entry.get("error_occurred"):
            sys.exit(f"{name}: {entry.get('error_message')}")
        if entry.get("aggregate_name") == "median":
            return entry["real_time"], entry["cpu_time"]
    sys.exit(f"kx_bench_view gave no median of {name}")


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("build", help="the build folder (with bin/kx7312-view)")
    parser.add_argument("--folder", help="where the logs are written and kept")
    parser.add_argument("--runs", type=int, default=3)
    args = parser.parse_args()
    binaries = os.path.join(args.build, "bin")
    view = os.path.join(binaries, "kx7312-view")
    env = dict(os.environ, QT_QPA_PLATFORM="offscreen")
    folder = args.folder or tempfile.mkdtemp(prefix="kx_compare_view_log.")
    shots = tempfile.mkdtemp(prefix="kx_compare_view_shots.")
    try:
        os.makedirs(folder, exist_ok=True)
        generator = os.path.join(binaries, "kx_bench_view_log")
        day = write_log(generator, folder, DAY_ROWS)
        week = write_log(generator, folder, WEEK_ROWS)
        report = ([view, "--report", day], None)
        window = ([view, "--screenshots", shots, day], env)
        numpy_read = (["/usr/bin/python3", "-c", NUMPY_READ, day], None)
        # Taken in turns, so that a change in the machine's load falls on all three.
        runs = {name: [] for name in ("report", "window", "numpy")}
        for _ in range(args.runs):
            for name, (command, command_env) in zip(runs, (report, window, numpy_read)):
                runs[name].append(measure(command, command_env))
        day_figures = {name: (statistics.median(r[0] for r in results),
                              statistics.median(r[1] for r in results),
                              max(r[2] for r in results))
                       for name, results in runs.items()}
        week_report = measure([view, "--report", week])
        week_window = measure([view, "--screenshots", shots, week], env)
        bench_view = os.path.join(binaries, "kx_bench_view")
        open_draw = bench_view_ms(bench_view, "BM_OpenAndDrawDayLog",
                                  dict(env, KX_BENCH_DAY_LOG=day))
        follow = bench_view_ms(bench_view, "BM_FollowHundredRowsTenHourLog/0$", env)[1]
    finally:
        shutil.rmtree(shots, ignore_errors=True)
        if not args.folder:
            shutil.rmtree(folder, ignore_errors=True)

    report_figures, window_figures, numpy_figures = (day_figures[n] for n in runs)
    speedup = numpy_figures[0] / report_figures[0]
    rows = [
        ("day: kx7312-view --report", report_figures,
         f">= 2x faster than numpy.loadtxt ({speedup:.1f}x), <= 250 MB",
         speedup >= 2 and report_figures[2] <= 250),
        ("day: kx7312-view --screenshots (start, open, draw, three PNGs)", window_figures, "",
         True),
        ("day: numpy.loadtxt", numpy_figures, "", True),
        ("week: kx7312-view --report", week_report, "<= 1 GB", week_report[2] <= 1024),
        ("week: window opens and draws", week_window, "<= 1 GB", week_window[2] <= 1024),
    ]
    print(f"day {os.path.getsize(day) / 1e6:.0f} MB, week {os.path.getsize(week) / 1e6:.0f} MB; "
          f"median of {args.runs} (the week once); load average "
          f"{' '.join(f'{x:.1f}' for x in os.getloadavg())}")
    print("| What | Wall | CPU | Peak memory | Target | Met |")
    print("|---|---|---|---|---|---|")
    for what, (wall, cpu, peak), target, met in rows:
        print(f"| {what} | {wall:.2f} s | {cpu:.2f} s | {peak:.0f} MB | {target} | "
              f"{'yes' if met else 'NO'} |")
    print(f"| day: the window made, opening the log and drawing it | {open_draw[0] / 1000:.2f} s | "
          f"{open_draw[1] / 1000:.2f} s | | < 1.5 s | {'yes' if open_draw[0] < 1500 else 'NO'} |")
    print(f"| ten hours: one --follow update of 100 rows | | {follow:.2f} ms | | < 5 ms | "
          f"{'yes' if follow < 5 else 'NO'} |")
    return 0 if all(met for *_, met in rows) and open_draw[0] < 1500 and follow < 5 else 1


if __name__ == "__main__":
    sys.exit(main())
