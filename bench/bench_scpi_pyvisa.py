#!/usr/bin/python3
"""The write-then-query pair over PyVISA (pure-Python backend, Nagle's
algorithm on as pyvisa-py leaves it): write("DAC:LOAD 3,100") then
query("ADC:READ?"), against the same two as one line
("DAC:LOAD 3,100;:ADC:READ?") and a query alone, in one run on one server
(`kx7312ctl --simulate serve --listen 127.0.0.1:0 --no-vxi11`). Prints the
median and the slowest of each, in milliseconds per pair.

Usage: /usr/bin/python3 bench/bench_scpi_pyvisa.py PATH/TO/kx7312ctl [PAIRS] (Debian's
python3-pyvisa and python3-pyvisa-py)
"""
import statistics
import subprocess
import sys
import time

import pyvisa


def timed(action, count):
    times = []
    for _ in range(count):
        start = time.perf_counter()
        action()
        times.append((time.perf_counter() - start) * 1000)
    return statistics.median(times), max(times)


def main():
    pairs = int(sys.argv[2]) if len(sys.argv) > 2 else 2000
    server = subprocess.Popen([sys.argv[1], "--simulate", "serve", "--listen", "127.0.0.1:0",
                               "--no-vxi11"],
                              stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
    try:
        port = int(server.stdout.readline().decode().strip().rsplit(":", 1)[1])
        manager = pyvisa.ResourceManager("@py")
        kx = manager.open_resource(f"TCPIP::127.0.0.1::{port}::SOCKET", read_termination="\n",
                                   write_termination="\n", timeout=20000)
        kx.query("*IDN?")

        def write_then_query():
            kx.write("DAC:LOAD 3,100")
            kx.query("ADC:READ?")

        cases = [("write then query", write_then_query),
                 ("one line", lambda: kx.query("DAC:LOAD 3,100;:ADC:READ?")),
                 ("query alone", lambda: kx.query("ADC:READ?"))]
        for name, action in cases:
            median, slowest = timed(action, pairs)
            print(f"{name:18} median {median:.3f} ms   slowest {slowest:.3f} ms   ({pairs} times)")
        kx.close()
    finally:
        server.terminate()
        server.wait()


if __name__ == "__main__":
    main()
