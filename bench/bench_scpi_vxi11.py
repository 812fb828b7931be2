#!/usr/bin/python3
"""Queries per second of one client over VXI-11 (TCPIP::127.0.0.1::INSTR)
against the raw socket (::SOCKET), through PyVISA's pure-Python backend,
in one run on one server (`kx7312ctl --simulate serve --vxi11`): *IDN?,
the shortest query, and ADC:READ?, a board round trip. Needs a portmapper
(rpcbind) on this machine, as VISA's INSTR resources do.

Usage: /usr/bin/python3 bench/bench_scpi_vxi11.py PATH/TO/kx7312ctl [QUERIES]
"""
import subprocess
import sys
import time

import pyvisa


def rate(kx, query, count):
    kx.query(query)
    start = time.perf_counter()
    for _ in range(count):
        kx.query(query)
    return count / (time.perf_counter() - start)


def main():
    count = int(sys.argv[2]) if len(sys.argv) > 2 else 5000
    server = subprocess.Popen([sys.argv[1], "--simulate", "serve", "--listen", "127.0.0.1:0",
                               "--vxi11"], stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
    try:
        port = int(server.stdout.readline().decode().strip().rsplit(":", 1)[1])
        if not server.stdout.readline().startswith(b"vxi-11 on "):
            sys.exit("bench_scpi_vxi11: no VXI-11 (is rpcbind running?)")
        manager = pyvisa.ResourceManager("@py")
        kinds = {"SOCKET": f"TCPIP::127.0.0.1::{port}::SOCKET",
                 "INSTR": "TCPIP::127.0.0.1::INSTR"}
        for query in ("*IDN?", "ADC:READ?"):
            rates = {}
            for kind, resource in kinds.items():
                kx = manager.open_resource(resource, read_termination="\n",
                                           write_termination="\n", timeout=20000)
                rates[kind] = rate(kx, query, count)
                kx.close()
            print(f"{query:10} socket {rates['SOCKET']:8.0f}/s   vxi-11 {rates['INSTR']:8.0f}/s"
                  f"   socket/vxi-11 {rates['SOCKET'] / rates['INSTR']:.2f}   ({count} queries)")
    finally:
        server.terminate()
        server.wait()


if __name__ == "__main__":
    main()
