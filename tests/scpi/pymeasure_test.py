#!/usr/bin/env python3
"""kx7312.pymeasure against kx7312ctl serve on the simulated loop-back
board: a DAC code read back on the ADC, a capture into NumPy, values out
of range refused before anything is sent, the error queue emptied.

Usage: pymeasure_test.py PATH/TO/kx7312ctl PATH/TO/python-folder. Exits 77
(skipped) when pymeasure or pyvisa is not installed.
"""
import os
import sys
import tempfile
import time
import unittest

try:
    import pymeasure  # noqa: F401
except ImportError as missing:
    print(f"skipped: {missing}")
    sys.exit(77)

import pyvisa_test
from pyvisa_test import Server


class PyMeasureTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        from kx7312.pymeasure import KX7312
        cls.folder = tempfile.TemporaryDirectory(prefix="kx-scpi-pymeasure-")
        cls.server = Server(cls.folder.name)
        # With 5 V on the DAC's reference an ADC code equals the DAC code.
        cls.kx = KX7312(f"TCPIP::127.0.0.1::{cls.server.port}::SOCKET", visa_library="@py",
                        dac_reference=5.0, timeout=20000)
        cls.kx.configure_adc("VREF2X", coding="BIN")
        cls.sent = []
        write = cls.kx.adapter.write
        cls.kx.adapter.write = lambda command: (cls.sent.append(command), write(command))[1]

    @classmethod
    def tearDownClass(cls):
        cls.kx.adapter.connection.close()
        status = cls.server.stop()
        cls.folder.cleanup()
        if status != 0:
            raise AssertionError(f"the server ended with status {status}")

    def test_a_dac_code_reads_back_on_the_adc(self):
        self.kx.dac[3].code = 2047
        self.kx.dac[5].voltage = 1.25
        self.assertEqual((self.kx.dac[3].code, self.kx.adc[3].code), (2047, 2047))
        self.assertEqual((self.kx.dac[5].code, self.kx.adc[5].code), (1024, 1024))
        self.assertEqual(self.kx.dac[5].voltage, 1.25)
        self.assertEqual(self.kx.check_errors(), [])

    def test_a_capture_comes_as_a_numpy_array(self):
        self.kx.dac[7].code = 3000
        samples = self.kx.capture()
        self.assertEqual((samples.shape, samples.dtype.name), ((512, 16), "uint16"))
        self.assertEqual(set(samples[:, 7]), {3000})

    def test_values_out_of_range_are_refused_before_anything_is_sent(self):
        self.sent.clear()
        for bad in (
                lambda: setattr(self.kx.dac[0], "code", 4096),
                lambda: setattr(self.kx.dac[0], "code", -1),
                lambda: setattr(self.kx.dac[0], "voltage", 5.0),
                lambda: self.kx.configure_adc("VREF3X"),
                lambda: self.kx.configure_adc(coding="GRAY"),
        ):
            with self.assertRaises(ValueError):
                bad()
        self.assertEqual(self.sent, [])
        # The server refuses the same codes.
        self.kx.write("DAC:LOAD 0,4096")
        errors = self.kx.check_errors()
        self.assertEqual([code for code, _ in errors], [-222])
        self.assertIn("4095", errors[0][1])

    def test_a_log_starts_and_stops(self):
        self.kx.log_start("bench.csv", "100ms")
        time.sleep(0.25)
        self.kx.log_stop()
        self.assertEqual(self.kx.check_errors(), [])
        with open(os.path.join(self.folder.name, "bench.csv"), encoding="ascii") as log:
            self.assertGreaterEqual(len(log.read().splitlines()), 3)


if __name__ == "__main__":
    if len(sys.argv) < 3:
        print("usage: pymeasure_test.py PATH/TO/kx7312ctl PATH/TO/python-folder", file=sys.stderr)
        sys.exit(2)
    pyvisa_test.KX7312CTL = os.path.abspath(sys.argv.pop(1))
    sys.path.insert(0, os.path.abspath(sys.argv.pop(1)))
    unittest.main(verbosity=2)
