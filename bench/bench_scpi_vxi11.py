#!/usr/bin/python3
"""Queries per second of one client over VXI-11 (TCPIP::127.0.0.1::INSTR)
against the raw socket (::SOCKET), in one run on one server
(`kx7312ctl --simulate serve --vxi11`): *IDN?, the shortest query, and
ADC:READ?, a board round trip. First through PyVISA's pure-Python backend,
with each side's processor time per query (the client's from its own
process, the server's from /proc) and the client's RPC calls per query;
then through lean clients of a few lines each (one send and the receives of
one reply per call), which show the server's own share. Needs a portmapper
(rpcbind) on this machine, as VISA's INSTR resources do.

Usage: /usr/bin/python3 bench/bench_scpi_vxi11.py PATH/TO/kx7312ctl [QUERIES]
"""
import os
import socket
import struct
import subprocess
import sys
import time

import pyvisa
from pyvisa_py.protocols import rpc

CORE, CORE_VERSION, CREATE_LINK, DEVICE_WRITE, DEVICE_READ = 0x0607AF, 1, 10, 11, 12

calls = 0
send_record = rpc._sendrecord


def counted_send_record(*args, **kwargs):
    global calls
    calls += 1
    return send_record(*args, **kwargs)


rpc._sendrecord = counted_send_record


def server_cpu(pid):
    fields = open(f"/proc/{pid}/stat").read().rsplit(")", 1)[1].split()
    return (int(fields[11]) + int(fields[12])) / os.sysconf("SC_CLK_TCK")


def timed(ask, count, pid):
    """Queries per second, and the client's and the server's processor
    microseconds per query."""
    ask()
    server, client, start = server_cpu(pid), time.process_time(), time.perf_counter()
    for _ in range(count):
        ask()
    wall = time.perf_counter() - start
    return (count / wall, (time.process_time() - client) / count * 1e6,
            (server_cpu(pid) - server) / count * 1e6)


class LeanSocket:
    def __init__(self, port):
        self.sock = socket.create_connection(("127.0.0.1", port))
        self.sock.setsockopt(socket.IPPROTO_TCP, socket.TCP_NODELAY, 1)

    def query(self, text):
        self.sock.sendall(text.encode() + b"\n")
        reply = self.sock.recv(65536)
        while not reply.endswith(b"\n"):
            reply += self.sock.recv(65536)
        return reply


class LeanVxi11:
    def __init__(self, port):
        self.sock = socket.create_connection(("127.0.0.1", port))
        self.sock.setsockopt(socket.IPPROTO_TCP, socket.TCP_NODELAY, 1)
        self.xid = 0
        self.lid = struct.unpack(">ii", self.call(CREATE_LINK, struct.pack(">iiII", 1, 0, 0, 5)
                                                  + b"inst0\0\0\0")[:8])[1]

    def call(self, procedure, args):
        self.xid += 1
        body = struct.pack(">10I", self.xid, 0, 2, CORE, CORE_VERSION, procedure, 0, 0, 0, 0)
        self.sock.sendall(struct.pack(">I", 0x80000000 | (len(body) + len(args))) + body + args)
        record = self.sock.recv(65536)
        while len(record) < 4 + (struct.unpack(">I", record[:4])[0] & 0x7FFFFFFF):
            record += self.sock.recv(65536)
        return record[28:]  # after the mark, the reply header and its SUCCESS

    def query(self, text):
        data = text.encode() + b"\n"
        self.call(DEVICE_WRITE, struct.pack(">iIIiI", self.lid, 1000, 0, 8, len(data)) + data
                  + b"\0" * (-len(data) % 4))
        reply = self.call(DEVICE_READ, struct.pack(">iIIIii", self.lid, 65536, 1000, 0, 0, 0))
        return reply[12:12 + struct.unpack(">I", reply[8:12])[0]]


def main():
    global calls
    count = int(sys.argv[2]) if len(sys.argv) > 2 else 5000
    server = subprocess.Popen([sys.argv[1], "--simulate", "serve", "--listen", "127.0.0.1:0",
                               "--vxi11"], stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
    try:
        port = int(server.stdout.readline().decode().strip().rsplit(":", 1)[1])
        line = server.stdout.readline().decode()
        if not line.startswith("vxi-11 on "):
            sys.exit("bench_scpi_vxi11: no VXI-11 (is rpcbind running?)")
        vxi11_port = int(line.strip().rsplit(":", 1)[1])
        manager = pyvisa.ResourceManager("@py")
        kinds = {"SOCKET": f"TCPIP::127.0.0.1::{port}::SOCKET",
                 "INSTR": "TCPIP::127.0.0.1::INSTR"}
        for query in ("*IDN?", "ADC:READ?"):
            results = {}
            for kind, resource in kinds.items():
                kx = manager.open_resource(resource, read_termination="\n",
                                           write_termination="\n", timeout=20000)
                calls = 0
                results[kind] = timed(lambda: kx.query(query), count, server.pid)
                results[kind] += (calls / (count + 1),)
                kx.close()
            socket_rate, instr_rate = results["SOCKET"][0], results["INSTR"][0]
            print(f"pyvisa {query:10} socket {socket_rate:6.0f}/s   vxi-11 {instr_rate:6.0f}/s"
                  f"   socket/vxi-11 {socket_rate / instr_rate:.2f}   ({count} queries)")
            for kind in kinds:
                _, client, served, rpcs = results[kind]
                print(f"  {kind:6} client {client:5.1f} us, server {served:5.1f} us a query"
                      + (f", {rpcs:.2f} RPC calls" if kind == "INSTR" else ""))
        for query in ("*IDN?", "ADC:READ?"):
            lean = {kind: timed(lambda: client.query(query), count, server.pid)
                    for kind, client in (("SOCKET", LeanSocket(port)),
                                         ("INSTR", LeanVxi11(vxi11_port)))}
            print(f"lean   {query:10} socket {lean['SOCKET'][0]:6.0f}/s   vxi-11 "
                  f"{lean['INSTR'][0]:6.0f}/s   socket/vxi-11 "
                  f"{lean['SOCKET'][0] / lean['INSTR'][0]:.2f}   (server {lean['SOCKET'][2]:.1f} "
                  f"and {lean['INSTR'][2]:.1f} us a query)")
    finally:
        server.terminate()
        server.wait()


if __name__ == "__main__":
    main()
