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
    system's choosing on 127.0.0.1, in a private temporary folder; without
    VXI-11 unless `extra` asks for it, as the portmapper holds one entry."""

    def __init__(self, folder, extra=("--no-vxi11",), inputs=None):
        settings = os.path.join(folder, "loopback.json")
        with open(settings, "w", encoding="ascii") as out:
            # With 5 V on the DAC's reference an ADC code equals the DAC code.
            json.dump({"external_reference": 5.0, "inputs": inputs or {}}, out)
        self.log_path = os.path.join(folder, "server.log")
        self.log = open(self.log_path, "wb")
        self.process = subprocess.Popen(
            [KX7312CTL, "--simulate", "--sim-settings", settings, "serve", "--listen",
             "127.0.0.1:0", *extra],
            stdout=subprocess.PIPE, stderr=self.log, cwd=folder,
            # A home of its own: a developer's calibration never changes
            # the volts served.
            env=dict(os.environ, HOME=folder, XDG_CONFIG_HOME=os.path.join(folder, ".config")),
            # Unbuffered: a line read is all that is taken from the pipe, so
            # select() tells truly whether the server's next line is there.
            bufsize=0)
        ready, _, _ = select.select([self.process.stdout], [], [], TIMEOUT_S)
        first = self.process.stdout.readline().decode() if ready else ""
        if not first.startswith("listening on 127.0.0.1:"):
            self.process.kill()
            raise RuntimeError(f"the server did not start: {first!r}")
        self.port = int(first.strip().rsplit(":", 1)[1])

    def stop(self, sent=signal.SIGTERM):
        self.process.send_signal(sent)
        try:
            return self.process.wait(timeout=TIMEOUT_S)
        finally:
            if self.process.poll() is None:
                self.process.kill()
            self.process.stdout.close()
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

    def test_a_histogram_of_a_sine_gives_its_figures_and_its_block(self):
        # A board of its own: a sine a little beyond both ends of the 0 to
        # 2xVREF range on channel 5, which the other tests read as wired.
        sine = {"offset": 2.5, "amplitude": 2.54, "frequency": 0.3819660113, "seed": 1}
        with tempfile.TemporaryDirectory(prefix="kx-scpi-pyvisa-sine-") as folder:
            server = Server(folder, inputs={"5": sine})
            inst = self.rm.open_resource(
                f"TCPIP::127.0.0.1::{server.port}::SOCKET",
                read_termination="\n", write_termination="\n", timeout=TIMEOUT_S * 1000)
            try:
                inst.write("ADC:CONFigure VREF2X,TRIState,BINary")
                figures = inst.query_ascii_values("ADC:HIST? 5,262144", converter="f")
                self.assertEqual(len(figures), 8)
                self.assertEqual(figures[5], 0)  # no missing codes
                self.assertLess(figures[4], 0.2)  # the DNL's rms: an ideal ADC's counting noise
                self.assertAlmostEqual(figures[6], 2048, delta=2)
                self.assertAlmostEqual(figures[7], 2.54 / 5 * 4096, delta=2)
                block = inst.query_binary_values("ADC:HIST:DATA? 5,262144", datatype="B",
                                                 container=bytes)
                lines = block.decode("ascii").split("\n")
                self.assertEqual(lines[0], "code,count,dnl,inl")
                self.assertEqual(len(lines), 1 + 4096 + 1)
                self.assertEqual(sum(int(line.split(",")[1]) for line in lines[1:-1]), 262144)
                self.assertEqual(inst.query("SYST:ERR?"), '0,"No error"')
            finally:
                inst.close()
                self.assertEqual(server.stop(), 0)

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


class SpectrumTest(unittest.TestCase):
    def test_the_spectrum_of_a_sine_on_a_channel(self):
        with tempfile.TemporaryDirectory(prefix="kx-scpi-spectrum-") as folder:
            # 1.5 V about mid-scale of the 5 V span: 1229 codes, -4.4 dBFS.
            server = Server(folder, inputs={
                "6": {"offset": 2.5, "amplitude": 1.5, "frequency": 0.0123, "seed": 1}})
            rm = pyvisa.ResourceManager("@py")
            try:
                inst = rm.open_resource(
                    f"TCPIP::127.0.0.1::{server.port}::SOCKET",
                    read_termination="\n", write_termination="\n", timeout=TIMEOUT_S * 1000)
                inst.write("ADC:CONFigure VREF2X,TRIState,TWOS")
                figures = inst.query_ascii_values("ADC:SPECtrum? 6,BHARris", converter="f")
                self.assertEqual(len(figures), 12)
                self.assertAlmostEqual(figures[1], -4.4, delta=0.5)
                self.assertGreater(figures[2], 60)  # SNR of a quantised sine: 12 bits' worth
                self.assertEqual(inst.query("SYST:ERR?"), '0,"No error"')
                # A channel fed nothing changing has no tone: an error, no figures.
                inst.write("ADC:SPEC? 7")
                self.assertIn("no tone above DC", inst.query("SYST:ERR?"))
                inst.close()
            finally:
                rm.close()
                self.assertEqual(server.stop(), 0)


if __name__ == "__main__":
    if len(sys.argv) < 2:
        print("usage: pyvisa_test.py PATH/TO/kx7312ctl", file=sys.stderr)
        sys.exit(2)
    KX7312CTL = os.path.abspath(sys.argv.pop(1))
    unittest.main(verbosity=2)
