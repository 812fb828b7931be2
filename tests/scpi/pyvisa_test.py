#!/usr/bin/env python3
"""kx7312ctl serve driven by PyVISA with its pure-Python backend, as a lab's
test bench drives its instruments: *IDN?, a DAC load read back on the ADC,
a capture as an IEEE 488.2 block, the error queue after bad commands, a
log in the background read back with the csv module.

Usage: pyvisa_test.py PATH/TO/kx7312ctl. Exits 77 (skipped) when pyvisa or
pyvisa-py is not installed.
"""
import csv
import json
import os
import select
import signal
import subprocess
import sys
import tempfile
import time
import unittest

try:
    import pyvisa
    import pyvisa_py  # noqa: F401  (the backend must be there, not only pyvisa)
except ImportError as missing:
    print(f"skipped: {missing}")
    sys.exit(77)

KX7312CTL = None
TIMEOUT_S = 20


class Server:
    """kx7312ctl serve on the simulated board, listening on a port of the
    system's choosing on 127.0.0.1, in a private temporary folder."""

    def __init__(self, folder, extra=()):
        settings = os.path.join(folder, "loopback.json")
        with open(settings, "w", encoding="ascii") as out:
            # With 5 V on the DAC's reference an ADC code equals the DAC code.
            json.dump({"external_reference": 5.0}, out)
        self.log_path = os.path.join(folder, "server.log")
        self.log = open(self.log_path, "wb")
        self.process = subprocess.Popen(
            [KX7312CTL, "--simulate", "--sim-settings", settings, "serve", "--listen",
             "127.0.0.1:0", *extra],
            stdout=subprocess.PIPE, stderr=self.log, cwd=folder,
            # Unbuffered: a line read is all that is taken from the pipe, so
            # select() tells truly whether the server's next line is there.
            bufsize=0)
        ready, _, _ = select.select([self.process.stdout], [], [], TIMEOUT_S)
        first = self.process.stdout.readline().decode() if ready else ""
        if not first.startswith("listening on 127.0.0.1:"):
            self.process.kill()
            raise RuntimeError(f"the server did not start: {first!r}")
        self.port = int(first.strip().rsplit(":", 1)[1])

    def stop(self):
        self.process.send_signal(signal.SIGTERM)
        try:
            return self.process.wait(timeout=TIMEOUT_S)
        finally:
            if self.process.poll() is None:
                self.process.kill()
            self.log.close()


class PyVisaTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.folder = tempfile.TemporaryDirectory(prefix="kx-scpi-pyvisa-")
        cls.server = Server(cls.folder.name)
        cls.rm = pyvisa.ResourceManager("@py")
        cls.inst = cls.rm.open_resource(
            f"TCPIP::127.0.0.1::{cls.server.port}::SOCKET",
            read_termination="\n", write_termination="\n", timeout=TIMEOUT_S * 1000)

    @classmethod
    def tearDownClass(cls):
        cls.inst.close()
        cls.rm.close()
        status = cls.server.stop()
        cls.folder.cleanup()
        if status != 0:
            raise AssertionError(f"the server ended with status {status}")

    def setUp(self):
        self.inst.write("*CLS")

    def test_identification(self):
        maker, model, serial, version = self.inst.query("*IDN?").split(",")
        self.assertEqual((maker, model, serial), ("KX7312", "KX7312(version2)", "SIM-0001"))
        self.assertRegex(version, r"^[0-9.]+$")

    def test_dac_load_reads_back_on_the_adc(self):
        codes = [100 + 250 * channel for channel in range(15)] + [4095]
        pairs = ",".join(f"{channel},{code}" for channel, code in enumerate(codes))
        self.inst.write(f"DAC:LOAD {pairs}")
        self.inst.write("ADC:CONFigure VREF2X,TRIState,BINary")
        self.assertEqual(self.inst.query_ascii_values("adc:read?", converter="d"), codes)
        self.assertEqual(self.inst.query_ascii_values("ADC:READ? 3", converter="d"), codes[3:4])
        self.assertEqual(self.inst.query("SYST:ERR?"), '0,"No error"')

    def test_capture_as_a_block(self):
        block = self.inst.query_binary_values("ADC:CAPTure?", datatype="B", container=bytes)
        lines = block.decode("ascii").split("\r\n")
        self.assertEqual(lines[-1], "")
        self.assertEqual(len(lines) - 1, 512)
        self.assertEqual(len(lines[0].split("\t")) - 1, 16)
        codes = self.inst.query_ascii_values("ADC:CAPT:CHAN0? CODES", converter="d")
        self.assertEqual(len(codes), 1024)
        self.assertEqual(self.inst.query("*OPC?"), "1")

    def test_a_sweep_and_a_histogram_through_the_command_table(self):
        self.inst.write("ADC:CONFigure VREF2X,TRIState,BINary")
        # An ideal DAC read by an ideal ADC of the same LSB; the sweep takes
        # the DAC's span as 2.5 V, so this board's 5 V reads as twice the
        # slope: a gain error of 100 % on both lines, nothing else.
        figures = self.inst.query_ascii_values("DAC:SWEep? 4,4,0,4095,64,1", converter="f")
        self.assertEqual(figures, [0, 100, 0, 100, 0, 0, 0, 0, 1])
        block = self.inst.query_binary_values("DAC:SWE:DATA? 4,4,0,4095,64,1", datatype="B",
                                              container=bytes)
        lines = block.decode("ascii").split("\n")
        self.assertEqual(lines[0], "code,output_lsb,noise_lsb,inl_endpoint,inl_fit,dnl")
        self.assertEqual(len(lines), 1 + 64 + 1)
        self.assertEqual(self.inst.query("SYST:ERR?"), '0,"No error"')
        # A fixed input covers no codes: said so, no figures.
        self.inst.write("ADC:HIST? 4,4096")
        self.assertIn("covers codes", self.inst.query("SYST:ERR?"))

    def test_error_queue_after_bad_commands(self):
        words = self.inst.query("DAC:WORD?")
        self.inst.write("DAC:BOGUS 1")
        self.inst.write("DAC:LOAD 3,4096")
        self.inst.write("DAC:LOAD 3")
        self.assertEqual(self.inst.query("SYST:ERR:COUN?"), "3")
        self.assertEqual(self.inst.query("*ESR?"), str(32 + 16))
        errors = [self.inst.query("SYSTem:ERRor:NEXT?") for _ in range(4)]
        self.assertTrue(errors[0].startswith('-113,"Undefined header; DAC:BOGUS'), errors[0])
        self.assertTrue(errors[1].startswith('-222,"Data out of range; the code 4096 is above 4095'), errors[1])
        self.assertTrue(errors[2].startswith('-109,"Missing parameter'), errors[2])
        self.assertEqual(errors[3], '0,"No error"')
        # The connection is still there and the board untouched by them.
        self.assertEqual(self.inst.query("DAC:WORD?"), words)

    def test_a_log_in_the_background(self):
        # A name in the server's working folder, its log folder by default.
        path = os.path.join(self.folder.name, "pyvisa-log.csv")
        self.inst.write("LOG:CHANnels 0,1")
        self.inst.write('LOG:STARt "pyvisa-log.csv",0.01')
        self.assertEqual(self.inst.query("SYST:ERR?"), '0,"No error"')
        deadline = time.monotonic() + TIMEOUT_S
        while int(self.inst.query("LOG:STATe?").split(",")[1]) < 3:
            self.assertLess(time.monotonic(), deadline, "no rows")
            time.sleep(0.01)
        self.inst.write("LOG:STOP")
        self.inst.write("LOG:CHANnels ALL")
        running, rows, gaps = (int(field) for field in self.inst.query("LOG:STATe?").split(",")[:3])
        self.assertEqual((running, gaps), (0, 0))
        with open(path, newline="", encoding="ascii") as log:
            self.assertTrue(log.readline().startswith("# kx7312-log "))
            table = list(csv.DictReader(log))
        self.assertEqual(len(table), rows)
        self.assertEqual({row["status"] for row in table}, {"ok"})
        self.assertEqual(list(table[0])[4:], ["ch0_code", "ch0_volts", "ch1_code", "ch1_volts"])
        self.assertEqual(self.inst.query("SYST:ERR?"), '0,"No error"')


if __name__ == "__main__":
    if len(sys.argv) < 2:
        print("usage: pyvisa_test.py PATH/TO/kx7312ctl", file=sys.stderr)
        sys.exit(2)
    KX7312CTL = os.path.abspath(sys.argv.pop(1))
    unittest.main(verbosity=2)
