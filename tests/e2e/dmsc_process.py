"""Starts the controller executable on a board directory and reads its console."""

import os
import random
import select
import signal
import socket
import subprocess
import threading
import time


def free_offset():
    """A port offset whose SNMP ports are free: copies of this test in other checkouts may run
    at the same time."""
    while True:
        offset = random.randrange(20000, 40000, 10)
        try:
            with socket.socket(socket.AF_INET, socket.SOCK_DGRAM) as u, \
                    socket.socket(socket.AF_INET, socket.SOCK_STREAM) as t:
                u.bind(("127.0.0.1", 161 + offset))
                t.bind(("127.0.0.1", 161 + offset))
            return offset
        except OSError:
            continue


class Controller:
    def __init__(self, exe, board_dir, *extra):
        self.started = time.monotonic()
        self.proc = subprocess.Popen(
            [exe, "--board-dir", board_dir, *extra],
            stdin=subprocess.DEVNULL,
            stdout=subprocess.PIPE,
            stderr=subprocess.PIPE,
        )
        self.buffer = b""
        self.tail = b""

    def read_until(self, marker, timeout=10.0):
        """Console text up to and including the line holding marker; None on time-out."""
        deadline = time.monotonic() + timeout
        fd = self.proc.stdout.fileno()
        while True:
            at = self.buffer.find(marker.encode())
            if at >= 0:
                end = self.buffer.find(b"\n", at)
                if end >= 0:
                    text, self.buffer = self.buffer[: end + 1], self.buffer[end + 1 :]
                    return text.decode(errors="replace")
            left = deadline - time.monotonic()
            if left <= 0:
                return None
            ready, _, _ = select.select([fd], [], [], left)
            if ready:
                chunk = os.read(fd, 4096)
                if not chunk:
                    return None
                self.buffer += chunk

    def drain(self):
        """From now on reads the console in the background, keeping its last 64 KiB in tail: a
        long run at a high time scale can fill the pipe, and a full pipe stops the controller."""
        self.tail = self.buffer

        def run(stream, keep):
            while True:
                try:
                    chunk = os.read(stream.fileno(), 65536)
                except (OSError, ValueError):
                    return
                if not chunk:
                    return
                if keep:
                    self.tail = (self.tail + chunk)[-65536:]

        for stream, keep in ((self.proc.stdout, True), (self.proc.stderr, False)):
            threading.Thread(target=run, args=(stream, keep), daemon=True).start()

    def kill(self, sig=signal.SIGKILL, timeout=10.0):
        self.proc.send_signal(sig)
        try:
            return self.proc.wait(timeout)
        except subprocess.TimeoutExpired:
            self.proc.kill()
            self.proc.wait()
            return None
        finally:
            self.proc.stdout.close()
            self.proc.stderr.close()


def net_snmp(tool, port, *args, options=("-Oqv",), timeout=120):
    """Runs a net-snmp tool against the controller's UDP port as the administrator (v1, no MIB
    files): (exit status, output and errors)."""
    cmd = [tool, "-v1", "-c", "quartermaster", "-m", "", "-On", *options, "-t", "2", "-r", "2",
           f"udp:127.0.0.1:{port}", *args]
    done = subprocess.run(cmd, capture_output=True, text=True, timeout=timeout)
    return done.returncode, done.stdout.strip() + done.stderr.strip()
