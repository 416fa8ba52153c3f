#!/usr/bin/env python3
"""Benchmark: time from starting dmsc on a fresh board directory to its
"Launching Thread(s)" line. Usage: bench_startup.py [path/to/dmsc] [runs]"""

import os
import shutil
import signal
import statistics
import sys
import tempfile
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from dmsc_process import Controller  # noqa: E402

BUDGET_MS = 2000


def main():
    exe = sys.argv[1] if len(sys.argv) > 1 else "build/app/dmsc"
    runs = int(sys.argv[2]) if len(sys.argv) > 2 else 5
    times = []
    for _ in range(runs):
        root = tempfile.mkdtemp(prefix="dmsc_bench_")
        try:
            c = Controller(exe, os.path.join(root, "board"))
            text = c.read_until("Launching Thread(s)", timeout=30)
            elapsed = (time.monotonic() - c.started) * 1000
            c.kill(signal.SIGTERM)
            if text is None:
                print("no 'Launching Thread(s)' line")
                return 1
            times.append(elapsed)
        finally:
            shutil.rmtree(root, ignore_errors=True)
    print(f"start to 'Launching Thread(s)' on a fresh board directory, {runs} runs: "
          f"min {min(times):.1f} ms, median {statistics.median(times):.1f} ms, "
          f"max {max(times):.1f} ms (budget {BUDGET_MS} ms)")
    return 0 if max(times) < BUDGET_MS else 1


if __name__ == "__main__":
    sys.exit(main())
