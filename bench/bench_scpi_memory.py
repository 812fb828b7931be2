#!/usr/bin/python3
"""The SCPI server's peak memory against clients that never read their
replies, and the slowest *IDN? of one more client meanwhile: CLIENTS
clients (63 leaves room for the measuring one under the default
--max-clients 64), every other one sending a line of 6,000 ADC:CAPT? and
the rest 400 capture lines, or with --distinct all sending a 64 KiB line of
4,000 different DAC:LOAD units. Prints VmHWM of /proc/PID/status before and
after.

Usage: bench_scpi_memory.py PATH/TO/kx7312ctl [CLIENTS [SECONDS]] [--distinct]
"""
import socket
import subprocess
import sys
import time


def peak(pid):
    with open(f"/proc/{pid}/status", encoding="ascii") as status:
        return next(line.split()[1] for line in status if line.startswith("VmHWM"))


def main():
    args = [a for a in sys.argv[1:] if a != "--distinct"]
    clients = int(args[1]) if len(args) > 1 else 63
    seconds = float(args[2]) if len(args) > 2 else 10
    if "--distinct" in sys.argv:
        one_line = ";".join(f"DAC:LOAD {i % 16},{i % 4096}" for i in range(4000)) + "\n"
        lines = one_line
    else:
        one_line = "ADC:CAPT?;" * 6000 + "*OPC?\n"
        lines = "ADC:CAPT?\n" * 400
    server = subprocess.Popen([args[0], "--simulate", "serve", "--listen", "127.0.0.1:0",
                               "--no-vxi11"],
                              stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
    try:
        port = int(server.stdout.readline().decode().strip().rsplit(":", 1)[1])
        print(f"VmHWM at start: {peak(server.pid)} kB")
        hostile = []
        for i in range(clients):
            client = socket.create_connection(("127.0.0.1", port))
            client.setblocking(False)
            try:
                client.send((one_line if i % 2 == 0 else lines).encode())
            except BlockingIOError:
                pass
            hostile.append(client)
        other = socket.create_connection(("127.0.0.1", port))
        replies = other.makefile("rb")
        slowest = 0.0
        end = time.monotonic() + seconds
        while time.monotonic() < end:
            start = time.monotonic()
            other.sendall(b"*IDN?\n")
            replies.readline()
            slowest = max(slowest, time.monotonic() - start)
            time.sleep(0.05)
        print(f"slowest *IDN? meanwhile: {slowest * 1000:.1f} ms")
        print(f"VmHWM with {clients} clients that never read: {peak(server.pid)} kB")
    finally:
        server.kill()
        server.wait()


if __name__ == "__main__":
    main()
