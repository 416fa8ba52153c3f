#!/usr/bin/env python3
"""Times Debian's `snmpwalk -v1 -m '' -On` of the sign subtree (1.3.6.1.4.1.1206.4.2.3, about
35,000 varbinds) against a fresh dmsc over its Ethernet port, and checks that the walk ends: no
time-out, every name after the one before, the last one the graphic bitmap table's last block.

    python3 tests/e2e/bench_sign_walk.py build/app/dmsc               # the 10 s budget
    python3 tests/e2e/bench_sign_walk.py build/app/dmsc --limit 300   # a loaded machine
"""

import argparse
import os
import signal
import subprocess
import sys
import tempfile
import threading
import time

sys.path.insert(0, os.path.dirname(__file__))
from dmsc_process import Controller  # noqa: E402

ADMIN = "quartermaster"
DMS = "1.3.6.1.4.1.1206.4.2.3"
LAST = DMS + ".10.7.1.3.50.63"  # block 63 of graphic 50


def names(output):
    """The varbind names of snmpwalk -On output (hex dumps continue on lines of their own)."""
    for line in output.splitlines():
        if line.startswith(".1.3.6.1.") and " = " in line:
            yield line.split(" = ", 1)[0].lstrip(".")


def wait_for_agent(port, deadline):
    while time.monotonic() < deadline:
        done = subprocess.run(["snmpget", "-v1", "-c", ADMIN, "-m", "", "-On", "-t", "1", "-r",
                               "0", f"udp:127.0.0.1:{port}", DMS + ".3.1.0"],
                              capture_output=True, text=True, timeout=30)
        if done.returncode == 0:
            return True
    return False


def walk(port, timeout, retries, limit):
    cmd = ["snmpwalk", "-v1", "-c", ADMIN, "-m", "", "-On", "-t", str(timeout), "-r",
           str(retries), f"udp:127.0.0.1:{port}", DMS]
    start = time.monotonic()
    done = subprocess.run(cmd, capture_output=True, text=True, timeout=limit + 60)
    return time.monotonic() - start, done


def check(done, minimum):
    """Failures of a finished walk (an empty list when it is whole)."""
    failures = []
    if done.returncode != 0 or "Timeout" in done.stderr or "Error" in done.stderr:
        failures.append(f"snmpwalk exit {done.returncode}: {done.stderr.strip()[:200]}")
    seen = list(names(done.stdout))
    if len(seen) < minimum:
        failures.append(f"{len(seen)} varbinds, fewer than {minimum}")
    keys = [tuple(int(x) for x in n.split(".")) for n in seen]
    for before, after in zip(keys, keys[1:]):
        if after <= before:
            failures.append(f"out of order: {'.'.join(map(str, after))} after "
                            f"{'.'.join(map(str, before))}")
            break
    if not seen or seen[-1] != LAST:
        failures.append(f"the walk ends at {seen[-1] if seen else 'nothing'}, not at {LAST}")
    return len(seen), failures


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("dmsc")
    parser.add_argument("--limit", type=float, default=10.0, help="seconds the walk may take")
    parser.add_argument("--min-varbinds", type=int, default=30000)
    parser.add_argument("--timeout", type=int, default=1, help="snmpwalk's -t")
    parser.add_argument("--retries", type=int, default=5, help="snmpwalk's -r")
    args = parser.parse_args()
    offset = 42000 + (os.getpid() % 400)
    port = offset + 161
    with tempfile.TemporaryDirectory(prefix="dms_walk_") as board:
        controller = Controller(args.dmsc, board, "--port-offset", str(offset))
        try:
            assert controller.read_until("Launching Thread(s)", 60), "no launch"
            # The console keeps printing; drain it so the controller never blocks on the pipe.
            threading.Thread(target=lambda: controller.read_until("never printed", 3600),
                             daemon=True).start()
            assert wait_for_agent(port, time.monotonic() + 60), "no SNMP answer"
            seconds, done = walk(port, args.timeout, args.retries, args.limit)
        finally:
            controller.kill(signal.SIGINT)
    count, failures = check(done, args.min_varbinds)
    print(f"sign subtree walk: {count} varbinds in {seconds:.2f} s "
          f"({count / seconds:.0f} varbinds/s, {1e6 * seconds / max(count, 1):.0f} us each)")
    if seconds > args.limit:
        failures.append(f"{seconds:.2f} s, over the {args.limit:g} s limit")
    for failure in failures:
        print("FAIL:", failure)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
