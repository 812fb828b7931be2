#!/usr/bin/env python3
"""kx7312ctl serve --vxi11 as VISA users reach it: one script through
TCPIP::127.0.0.1::INSTR and through ::SOCKET with equal replies, a lock
held by one link that another waits for in vain, a link closed during a
capture. Goes through the system's portmapper on port 111 (only one server
may hold its VXI-11 entry, so CTest runs this alone); starts rpcbind where
none runs, and removes its own entry whatever happens.

Usage: vxi11_test.py PATH/TO/kx7312ctl. Exits 77 (skipped) when pyvisa,
pyvisa-py or a portmapper is missing and cannot be started.
"""
import os
import select
import shutil
import signal
import socket
import struct
import subprocess
import sys
import tempfile
import time
import unittest

import pyvisa_test
from pyvisa_test import Server, TIMEOUT_S, pyvisa

CORE, CORE_VERSION = 0x0607AF, 1
CREATE_LINK, DEVICE_WRITE, DEVICE_READ, DEVICE_LOCK = 10, 11, 12, 18
LOCKED_BY_ANOTHER = 11
PORTMAPPER, GETPORT, TCP, UDP = 100000, 3, 6, 17
WAIT_LOCK, END = 0x01, 0x08


def portmapper_running():
    return subprocess.run(["rpcinfo", "-p", "127.0.0.1"], capture_output=True).returncode == 0


class Link:
    """One VXI-11 link by hand, for what VISA does not offer: a lock waited
    for with a timeout, a connection dropped in the middle of a call."""

    def __init__(self, port, program=(CORE, CORE_VERSION)):
        self.sock = socket.create_connection(("127.0.0.1", port), timeout=TIMEOUT_S)
        self.xid = 0
        self.program = program
        if program == (CORE, CORE_VERSION):
            error, self.lid, _, _ = self.call(
                CREATE_LINK, struct.pack(">iiII", 7, 0, 0, 5) + b"inst0\0\0\0", ">iiII")
            assert error == 0, error

    def send(self, procedure, args):
        self.xid += 1
        body = struct.pack(">IIIIII4I", self.xid, 0, 2, *self.program, procedure,
                           0, 0, 0, 0) + args
        self.sock.sendall(struct.pack(">I", 0x80000000 | len(body)) + body)

    def call(self, procedure, args, shape):
        self.send(procedure, args)
        length = struct.unpack(">I", self.recv(4))[0] & 0x7FFFFFFF
        reply = self.recv(length)
        # xid, REPLY, MSG_ACCEPTED, the verifier (AUTH_NULL, empty), SUCCESS
        assert struct.unpack(">IIIIII", reply[:24])[1:] == (1, 0, 0, 0, 0), reply[:24]
        return struct.unpack(shape, reply[24:24 + struct.calcsize(shape)])

    def recv(self, size):
        data = b""
        while len(data) < size:
            more = self.sock.recv(size - len(data))
            assert more, "the server closed the link's connection"
            data += more
        return data

    def write_parms(self, text):
        data = text.encode()
        padding = b"\0" * (-len(data) % 4)
        return struct.pack(">iIIiI", self.lid, 1000, 0, END, len(data)) + data + padding


def entry_port():
    """The port the portmapper names for VXI-11's core channel, or None."""
    listed = subprocess.run(["rpcinfo", "-p", "127.0.0.1"], capture_output=True, text=True)
    for row in listed.stdout.splitlines():
        fields = row.split()
        if fields[:3] == [str(CORE), str(CORE_VERSION), "tcp"]:
            return int(fields[3])
    return None


class PortmapperEntryTest(unittest.TestCase):
    """By default a server takes the portmapper's one VXI-11 entry where it
    is free and serves the socket alone where not; each removes only its
    own entry when it stops."""

    def setUp(self):
        self.folder = tempfile.TemporaryDirectory(prefix="kx-scpi-entry-")
        self.servers = []

    def tearDown(self):
        for server in self.servers:
            if server.process.poll() is None:
                server.stop()
        if entry_port() is not None:
            subprocess.run(["rpcinfo", "-d", str(CORE), str(CORE_VERSION)])
        self.folder.cleanup()

    def start(self, *extra):
        """A server and its VXI-11 port, None where it serves the socket alone."""
        folder = os.path.join(self.folder.name, str(len(self.servers)))
        os.mkdir(folder)
        server = Server(folder, extra)
        self.servers.append(server)
        # The line on VXI-11 left out comes before "listening on", the one
        # on VXI-11 served after it.
        with open(server.log_path, encoding="utf-8") as log:
            if "no VXI-11" in log.read():
                return server, None
        ready, _, _ = select.select([server.process.stdout], [], [], TIMEOUT_S)
        line = server.process.stdout.readline().decode() if ready else ""
        self.assertTrue(line.startswith("vxi-11 on 127.0.0.1:"), line)
        return server, int(line.strip().rsplit(":", 1)[1])

    def test_one_server_holds_the_entry_and_removes_only_its_own(self):
        self.assertIsNone(entry_port())
        first, first_port = self.start()
        self.assertIsNotNone(first_port)
        self.assertEqual(entry_port(), first_port)
        held = f"another server holds the VXI-11 entry of the portmapper (port {first_port})"
        # Asked for, VXI-11 is a condition of the start.
        refused = subprocess.run([pyvisa_test.KX7312CTL, "--simulate", "serve", "--listen",
                                  "127.0.0.1:0", "--vxi11"], capture_output=True, text=True,
                                 cwd=self.folder.name, timeout=TIMEOUT_S)
        self.assertEqual((refused.returncode, refused.stdout), (1, ""))
        self.assertIn("kx7312ctl: serve: VXI-11: " + held, refused.stderr)
        # By default the socket alone, said in one line, and the entry left.
        second, second_port = self.start()
        self.assertIsNone(second_port)
        self.assertEqual(second.stop(), 0)
        with open(second.log_path, encoding="utf-8") as log:
            said = [line for line in log if "VXI-11" in line]
        self.assertEqual(said, ["kx7312ctl serve: no VXI-11 (TCPIP::host::INSTR), the raw socket "
                                "alone: " + held + "; only one can (one that was killed leaves "
                                "it behind: `rpcinfo -d 395183 1` removes it)\n"])
        self.assertEqual(entry_port(), first_port)
        # Taken away and made again by another, the entry is that other's.
        subprocess.run(["rpcinfo", "-d", str(CORE), str(CORE_VERSION)], check=True)
        third, third_port = self.start("--vxi11")
        self.assertEqual(first.stop(), 0)
        self.assertEqual(entry_port(), third_port)
        self.assertEqual(third.stop(signal.SIGINT), 0)
        self.assertIsNone(entry_port())


class Vxi11Test(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.folder = tempfile.TemporaryDirectory(prefix="kx-scpi-vxi11-")
        cls.server = Server(cls.folder.name, ["--vxi11"])
        ready, _, _ = select.select([cls.server.process.stdout], [], [], TIMEOUT_S)
        line = cls.server.process.stdout.readline().decode() if ready else ""
        if not line.startswith("vxi-11 on 127.0.0.1:"):
            cls.server.stop()
            raise RuntimeError(f"no VXI-11: {line!r}, {open(cls.server.log_path).read()}")
        cls.vxi11_port = int(line.strip().rsplit(":", 1)[1])
        cls.rm = pyvisa.ResourceManager("@py")

    @classmethod
    def tearDownClass(cls):
        cls.rm.close()
        status = cls.server.stop()
        # Our entry, should the server have failed to remove it.
        listed = subprocess.run(["rpcinfo", "-p", "127.0.0.1"], capture_output=True, text=True)
        if f"{CORE}    {CORE_VERSION}   tcp  {cls.vxi11_port}" in listed.stdout:
            subprocess.run(["rpcinfo", "-d", str(CORE), str(CORE_VERSION)])
        cls.folder.cleanup()
        if status != 0:
            raise AssertionError(f"the server ended with status {status}")

    def open(self, resource):
        return self.rm.open_resource(resource, read_termination="\n", write_termination="\n",
                                     timeout=TIMEOUT_S * 1000)

    def test_the_same_script_answers_the_same_on_both(self):
        script = ["*CLS", "*IDN?", "DAC:LOAD 3,2047", "ADC:CONF VREF2X,TRIS,BIN", "ADC:READ? 3",
                  "ADC:READ?;:DAC:WORD?", "NOPE", "*ESR?", "*STB?", "SYST:ERR?", "SYST:ERR?",
                  "DAC:LOAD 3,5000", "SYST:ERR?", "*ESE 16;*ESE?", "ADC:CAPT:CHAN0? CODES"]
        replies = {}
        for kind in ("INSTR", "SOCKET"):
            resource = ("TCPIP::127.0.0.1::INSTR" if kind == "INSTR"
                        else f"TCPIP::127.0.0.1::{self.server.port}::SOCKET")
            inst = self.open(resource)
            replies[kind] = [inst.query(line) if "?" in line else inst.write(line) and None
                             for line in script]
            inst.close()
        self.assertEqual(replies["INSTR"], replies["SOCKET"])
        self.assertEqual(replies["INSTR"][4], "2047")
        self.assertEqual(len(replies["INSTR"][-1].split(",")), 1024)

    def test_status_byte_clear_and_trigger_through_visa(self):
        inst = self.open("TCPIP::127.0.0.1::INSTR")
        try:
            inst.write("ADC:CONF VREF2X,TRIS,BIN;:DAC:LOAD 3,0;:DAC:LOAD:PULS OFF;:DAC:LOAD 3,1000")
            inst.write("*CLS;ADC:READ? 3")
            self.assertEqual(inst.read_stb() & 0x10, 0x10)  # MAV: a reply waits
            inst.clear()  # which device_clear drops
            self.assertEqual((inst.read_stb() & 0x10, inst.query("ADC:READ? 3")), (0, "0"))
            inst.assert_trigger()  # *TRG: the LDAC pulse loads the input register
            self.assertEqual(inst.query("ADC:READ? 3"), "1000")
        finally:
            inst.write("DAC:LOAD:PULS ON")
            inst.close()

    def test_a_locked_device_refuses_the_other_link_after_its_timeout(self):
        holder = self.open("TCPIP::127.0.0.1::INSTR")
        other = Link(self.vxi11_port)
        try:
            holder.lock_excl()
            # PyVISA's own backend asks without waiting and words the refusal its way.
            with self.assertRaises(pyvisa.errors.VisaIOError):
                other_visa = self.open("TCPIP::127.0.0.1::INSTR")
                try:
                    other_visa.query("*IDN?")
                finally:
                    other_visa.close()
            began = time.monotonic()
            (error,) = other.call(DEVICE_LOCK, struct.pack(">iiI", other.lid, WAIT_LOCK, 300), ">i")
            self.assertEqual(error, LOCKED_BY_ANOTHER)
            self.assertGreaterEqual(time.monotonic() - began, 0.29)
            # The holder is served meanwhile, and its release lets the other in.
            self.assertEqual(holder.query("*OPC?"), "1")
            holder.unlock()
            (error,) = other.call(DEVICE_LOCK, struct.pack(">iiI", other.lid, WAIT_LOCK, 300), ">i")
            self.assertEqual(error, 0)
        finally:
            other.sock.close()
            holder.close()

    def test_a_link_closed_during_a_capture_costs_only_that_link(self):
        gone = Link(self.vxi11_port)
        gone.send(DEVICE_WRITE, gone.write_parms("ADC:CAPT?;" * 200 + "*OPC?\n"))
        time.sleep(0.05)
        gone.sock.close()
        inst = self.open("TCPIP::127.0.0.1::INSTR")
        began = time.monotonic()
        self.assertEqual(inst.query("*OPC?"), "1")
        self.assertEqual(inst.query("SYST:ERR?"), '0,"No error"')
        inst.close()
        # Far less than the 200 captures of the line would have taken.
        self.assertLess(time.monotonic() - began, 5)
        deadline = time.monotonic() + TIMEOUT_S
        while time.monotonic() < deadline:
            with open(self.server.log_path, encoding="utf-8") as log:
                if "the rest of its line did not run" in log.read():
                    break
            time.sleep(0.02)
        else:
            self.fail("the server did not notice the link had gone")


    def test_our_own_portmapper_answers_getport(self):
        folder = tempfile.TemporaryDirectory(prefix="kx-scpi-portmapper-")
        server = Server(folder.name, ["--portmapper", "127.0.0.1:0"])
        try:
            vxi11, portmapper = (int(server.process.stdout.readline().decode().rsplit(":", 1)[1])
                                 for _ in range(2))
            asking = Link(portmapper, program=(PORTMAPPER, 2))
            getport = [asking.call(GETPORT, struct.pack(">IIII", *asked, 0), ">I")[0]
                       for asked in ((CORE, 1, TCP), (CORE, 2, TCP), (CORE, 1, UDP))]
            asking.sock.close()
            self.assertEqual(getport, [vxi11, 0, 0])
            link = Link(vxi11)
            self.assertEqual(link.call(DEVICE_WRITE, link.write_parms("*OPC?\n"), ">iI"), (0, 6))
            self.assertEqual(link.call(DEVICE_READ, struct.pack(">iIIIii", link.lid, 100, 1000,
                                                                 0, 0, 0), ">iiI4s"),
                             (0, 4, 2, b"1\n\0\0"))
            link.sock.close()
        finally:
            self.assertEqual(server.stop(), 0)
            folder.cleanup()


if __name__ == "__main__":
    if len(sys.argv) < 2:
        print("usage: vxi11_test.py PATH/TO/kx7312ctl", file=sys.stderr)
        sys.exit(2)
    pyvisa_test.KX7312CTL = os.path.abspath(sys.argv.pop(1))
    if shutil.which("rpcinfo") is None:
        print("skipped: no rpcinfo (Debian's rpcbind)")
        sys.exit(77)
    if not portmapper_running():
        if os.geteuid() != 0 or shutil.which("rpcbind") is None:
            print("skipped: no portmapper runs, and only root may start rpcbind")
            sys.exit(77)
        subprocess.run(["rpcbind"], check=True)
    unittest.main(verbosity=2)
