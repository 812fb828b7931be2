#!/usr/bin/env python3
"""kx7312-view --export read back with NumPy: a log of kx7312ctl's own
logger (single reads, volts), a log of averaged reads with a gap row, and a
capture, each as .npy and .npz, against the figures Python reads from the
files themselves.

Usage: numpy_export_test.py PATH/TO/kx7312-view PATH/TO/kx7312ctl. Exits 77
(skipped) when numpy is not installed.
"""
import csv
import json
import os
import subprocess
import sys
import tempfile
import unittest

try:
    import numpy
except ImportError as missing:
    print(f"skipped: {missing}")
    sys.exit(77)

VIEW = CTL = None


def run(folder, *words):
    return subprocess.run(list(words), cwd=folder, capture_output=True, text=True, timeout=60,
                          check=False)


def log_rows(path):
    """The layout and the rows of a log, by the csv module."""
    with open(path, newline="", encoding="ascii") as text:
        layout = json.loads(text.readline()[len("# kx7312-log "):])
        return layout, list(csv.DictReader(text))


def averaged_log(path):
    """Two channels, four reads a row, row 1 a gap, codes on two's complement."""
    layout = {"format": 1, "edition": "version2", "program": "KX7312(version2)",
              "configuration_word": "0x8370", "half_span": False, "weak": False,
              "straight_binary": False, "reference_volts": 2.5, "channels": [2, 9],
              "average": 4, "interval_seconds": 0.5, "started": "2026-12-08T06:00:00.000000Z"}
    names = ["time_utc", "seconds", "status", "link_status"]
    for c in layout["channels"]:
        names += [f"ch{c}_{f}" for f in ("mean", "min", "max", "std")]
        names += [f"ch{c}_{f}_volts" for f in ("mean", "min", "max", "std")]
    volts = lambda code: f"{code / 4096 * 5 + 2.5:.6f}"
    lines = ["# kx7312-log " + json.dumps(layout), ",".join(names)]
    for n, codes in enumerate([(-2048, 17), None, (-3, 2047)]):
        time = f"2026-12-08T06:00:{n // 2:02d}.{n % 2 * 5}00000Z,{n / 2:.6f}"
        if codes is None:
            lines.append(f"{time},gap,-9" + "," * 16)
            continue
        fields = []
        for code in codes:
            mean, low, high = code + 0.25, code, min(code + 3, 2047)
            fields += [f"{mean:.3f}", str(low), str(high), "1.500"]
            fields += [volts(mean), volts(low), volts(high), f"{1.5 / 4096 * 5:.6f}"]
        lines.append(f"{time},ok,," + ",".join(fields))
    with open(path, "w", encoding="ascii") as out:
        out.write("\n".join(lines) + "\n")


class Export(unittest.TestCase):
    def setUp(self):
        self.temp = tempfile.TemporaryDirectory()
        self.folder = self.temp.name

    def tearDown(self):
        self.temp.cleanup()

    def export(self, source, target):
        done = run(self.folder, VIEW, "--export", target, source)
        self.assertEqual(done.returncode, 0, done.stderr)
        self.assertIn(f"written to {target}", done.stdout)
        return numpy.load(os.path.join(self.folder, target))

    def test_a_log_of_the_logger_itself(self):
        with open(os.path.join(self.folder, "fixed.json"), "w", encoding="ascii") as out:
            json.dump({"inputs": {"1": 1.25, "4": 3.75}}, out)
        made = run(self.folder, CTL, "--simulate", "--sim-settings", "fixed.json", "adc", "log",
                   "run.csv", "--every", "10ms", "--for", "60ms", "--channels", "4,1", "--quiet")
        self.assertEqual(made.returncode, 0, made.stderr)
        _, rows = log_rows(os.path.join(self.folder, "run.csv"))
        self.assertGreater(len(rows), 0)
        seconds = [float(r["seconds"]) for r in rows]
        records = self.export("run.csv", "run.npy")
        arrays = self.export("run.csv", "run.npz")
        self.assertEqual(records.shape, (len(rows),))
        numpy.testing.assert_array_equal(records["seconds"], seconds)
        numpy.testing.assert_array_equal(arrays["seconds"], seconds)
        numpy.testing.assert_array_equal(arrays["channels"], [4, 1])
        self.assertFalse(arrays["gap"].any())
        for i, channel in enumerate((4, 1)):
            codes = [int(r[f"ch{channel}_code"]) for r in rows]
            volts = [float(r[f"ch{channel}_volts"]) for r in rows]
            numpy.testing.assert_array_equal(records[f"ADC{channel}_code"], codes)
            numpy.testing.assert_array_equal(arrays["codes"][:, i], codes)
            numpy.testing.assert_allclose(records[f"ADC{channel}_volts"], volts, atol=1e-6)
            numpy.testing.assert_allclose(arrays["volts"][:, i], volts, atol=1e-6)
        self.assertEqual(arrays["codes"].dtype, numpy.int16)

    def test_an_averaged_log_with_a_gap(self):
        averaged_log(os.path.join(self.folder, "avg.csv"))
        _, rows = log_rows(os.path.join(self.folder, "avg.csv"))
        records = self.export("avg.csv", "avg.npy")
        arrays = self.export("avg.csv", "avg.npz")
        numpy.testing.assert_array_equal(arrays["gap"], [False, True, False])
        numpy.testing.assert_array_equal(records["gap"], [False, True, False])
        numpy.testing.assert_array_equal(arrays["seconds"], [0.0, 0.5, 1.0])
        for i, channel in enumerate((2, 9)):
            good = [rows[0], rows[2]]
            means = [float(r[f"ch{channel}_mean"]) for r in good]
            minima = [int(r[f"ch{channel}_min"]) for r in good]
            maxima = [int(r[f"ch{channel}_max"]) for r in good]
            volts = [float(r[f"ch{channel}_mean_volts"]) for r in good]
            numpy.testing.assert_allclose(arrays["means"][[0, 2], i], means, atol=1e-4)
            numpy.testing.assert_array_equal(arrays["minima"][[0, 2], i], minima)
            numpy.testing.assert_array_equal(records[f"ADC{channel}_max"][[0, 2]], maxima)
            numpy.testing.assert_allclose(records[f"ADC{channel}_std"][[0, 2]], [1.5, 1.5])
            numpy.testing.assert_allclose(arrays["volts"][[0, 2], i], volts, atol=1e-6)
            # The gap row: no figures.
            self.assertTrue(numpy.isnan(arrays["volts"][1, i]))
            self.assertTrue(numpy.isnan(records[f"ADC{channel}_mean"][1]))
            self.assertEqual(arrays["minima"][1, i], -32768)

    def test_a_capture(self):
        made = run(self.folder, CTL, "--simulate", "adc", "capture", "cap.txt")
        self.assertEqual(made.returncode, 0, made.stderr)
        with open(os.path.join(self.folder, "cap.txt"), encoding="ascii") as text:
            codes = [[int(c) for c in line.split()] for line in text]
        records = self.export("cap.txt", "cap.npy")
        arrays = self.export("cap.txt", "cap.npz")
        self.assertEqual(arrays["codes"].shape, (512, 16))
        numpy.testing.assert_array_equal(arrays["codes"], codes)
        numpy.testing.assert_array_equal(records["ADC5_code"], [row[5] for row in codes])
        numpy.testing.assert_array_equal(records["set"], range(512))
        self.assertEqual(arrays["volts"].shape, (512, 16))

    def test_a_bad_name_is_refused_and_nothing_written(self):
        averaged_log(os.path.join(self.folder, "avg.csv"))
        done = run(self.folder, VIEW, "--export", "avg.txt", "avg.csv")
        self.assertEqual(done.returncode, 2)
        self.assertIn("must end in .npy or .npz", done.stderr)
        self.assertFalse(os.path.exists(os.path.join(self.folder, "avg.txt")))


if __name__ == "__main__":
    VIEW, CTL = os.path.abspath(sys.argv[1]), os.path.abspath(sys.argv[2])
    unittest.main(argv=sys.argv[:1])
