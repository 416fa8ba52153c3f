#!/usr/bin/env python3
"""A peer sends 64 KiB of random bytes through socat to UART 0 of the echo host (over the
published pseudo-terminal, then over TCP) and must get every byte back in order."""
import os
import random
import shutil
import socket
import subprocess
import sys
import tempfile
import time


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def run(host, end, peer_address):
    board = tempfile.mkdtemp(prefix="dms-serial-e2e-")
    proc = subprocess.Popen([host, "--board-dir", board, "--uart0", end],
                            stdout=subprocess.PIPE, text=True)
    try:
        line = proc.stdout.readline()
        if "UART 0 on" not in line:
            return f"no ready line: {line!r}"
        if end == "pty":
            with open(os.path.join(board, "uart0.pty")) as f:
                path = f.read().strip()
            if path not in line:
                return f"pty path {path} not printed: {line!r}"
            address = f"{path},raw,echo=0"
        else:
            address = peer_address
        data = random.Random(33).randbytes(64 * 1024)
        started = time.monotonic()
        peer = subprocess.run(["socat", "-t", "10", "STDIO", address], input=data,
                              capture_output=True, timeout=90)
        took = time.monotonic() - started
        if peer.stdout != data:
            same = next((i for i, (a, b) in enumerate(zip(peer.stdout, data)) if a != b),
                        min(len(peer.stdout), len(data)))
            return (f"{end}: got {len(peer.stdout)} bytes back, first difference at {same}; "
                    f"socat: {peer.stderr.decode(errors='replace')}")
        print(f"{end}: 64 KiB echoed in order in {took:.1f} s")
        return None
    finally:
        proc.terminate()
        proc.wait(timeout=10)
        shutil.rmtree(board, ignore_errors=True)


def main():
    host = sys.argv[1]
    port = free_port()
    failures = [f for f in (run(host, "pty", None),
                            run(host, f"tcp:{port}", f"TCP:127.0.0.1:{port}")) if f]
    for failure in failures:
        print("FAIL:", failure)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
