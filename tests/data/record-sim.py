#!/usr/bin/env python3
"""Records sim-session.cap: the raw port bytes of hx410-sim through one short session.

The simulated unit writes the protocol from its own model, independently of the
program's parser, so its capture checks the parser against a second implementation.
Usage: tests/data/record-sim.py BUILD_DIR   (then scripts/regen-checks BUILD_DIR)
"""

import os
import pathlib
import subprocess
import sys
import tempfile
import time
import tty

HERE = pathlib.Path(__file__).resolve().parent
SCALE = 2  # program seconds per real second


def main():
    sim = pathlib.Path(sys.argv[1]) / "sim" / "hx410-sim"
    with tempfile.TemporaryDirectory() as ports:
        proc = subprocess.Popen(
            [str(sim), "--port-dir", ports, "--time-scale", str(SCALE), "--warmup", "3",
             "--seed", "7", "--heading", "350"],
            stdin=subprocess.PIPE, stdout=subprocess.PIPE, text=True)
        device = proc.stdout.readline().split()[1]
        fd = os.open(device, os.O_RDWR | os.O_NOCTTY | os.O_NONBLOCK)
        tty.setraw(fd)
        data = bytearray()

        def read_for(program_seconds):
            end = time.monotonic() + program_seconds / SCALE
            while time.monotonic() < end:
                try:
                    data.extend(os.read(fd, 4096))
                except BlockingIOError:
                    time.sleep(0.01)

        def control(line):
            proc.stdin.write(line + "\n")
            proc.stdin.flush()
            proc.stdout.readline()

        read_for(4)                      # page C through the end of the warm-up
        control("turn 10")
        read_for(3)                      # turning through north
        control("turn 0")
        os.write(fd, b"PAGE F\r\r\r")
        read_for(2)
        os.write(fd, b"MCC N 1.25\r")
        os.write(fd, b"PAGE E\r\r\r")
        read_for(2)
        os.write(fd, b"ERASE MCC\r")
        read_for(3.5)
        os.write(fd, b"STORE MCC\r")
        read_for(3.5)
        control("quit")
        os.close(fd)
        proc.wait(timeout=10)

    header = (
        "# hx410-sim (seed 7, time scale 2), raw maintenance-port bytes, 38400 8N1.\n"
        "# Page C through the end of the warm-up and a turn through north, then page F\n"
        "# (identity), an MCC N 1.25 echo, page E, and the MCC erase and store banners.\n")
    (HERE / "sim-session.cap").write_bytes(header.encode() + bytes(data))


if __name__ == "__main__":
    main()
