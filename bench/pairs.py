#!/usr/bin/env python3
# SPDX-License-Identifier: MIT
"""Times two shell commands in turn, A B A B ..., and prints A's time over B's pair by pair.

    pairs.py [-n RUNS] [--warmup N] [--before 'SETUP'] 'COMMAND_A' 'COMMAND_B'

Each command runs under sh -c with empty input and its output thrown away. SETUP, when
given, runs before every run of either command and is not timed (removing the outputs of
the run before, say). Wall time is a monotonic clock around the child; user and system
time are the kernel's accounting of the child and what it waited for. Every figure is
printed as min, median and max; pairing keeps the ratio meaningful when the machine's speed
drifts during the call.
"""

import argparse
import os
import statistics
import subprocess
import sys
import time


def run(command):
    start = time.monotonic()
    child = subprocess.Popen(["sh", "-c", command], stdin=subprocess.DEVNULL,
                             stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    _, status, usage = os.wait4(child.pid, 0)
    wall = time.monotonic() - start
    if os.waitstatus_to_exitcode(status) != 0:
        print(f"pairs.py: exit {os.waitstatus_to_exitcode(status)}: {command}", file=sys.stderr)
    return {"wall": wall, "user": usage.ru_utime, "sys": usage.ru_stime,
            "cpu": usage.ru_utime + usage.ru_stime, "peak MiB": usage.ru_maxrss / 1024}


def row(label, values):
    low, middle, high = min(values), statistics.median(values), max(values)
    print(f"{label:<16}{low:>12.4f}{middle:>12.4f}{high:>12.4f}")


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("-n", "--runs", type=int, default=5)
    parser.add_argument("--warmup", type=int, default=1)
    parser.add_argument("--before", default=None)
    parser.add_argument("a")
    parser.add_argument("b")
    options = parser.parse_args()

    def timed(command):
        if options.before:
            subprocess.run(["sh", "-c", options.before], check=False)
        return run(command)

    for _ in range(options.warmup):
        timed(options.a)
        timed(options.b)
    results = {"A": [], "B": []}
    for _ in range(options.runs):
        results["A"].append(timed(options.a))
        results["B"].append(timed(options.b))

    print(f"{'':<16}{'min':>12}{'median':>12}{'max':>12}")
    for side in ("A", "B"):
        for key in ("user", "sys", "cpu", "wall", "peak MiB"):
            row(f"{side} {key}" + (" s" if key != "peak MiB" else ""),
                [result[key] for result in results[side]])
    for key in ("user", "cpu", "wall"):
        row(f"A/B {key}", [a[key] / b[key] if b[key] else float("nan")
                           for a, b in zip(results["A"], results["B"])])


if __name__ == "__main__":
    main()
