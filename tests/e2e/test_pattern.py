#!/usr/bin/env python3
"""Test pattern 2 selected over SNMP on a running dmsc: the sign's pictures step through red,
green, blue and dark; displayTestMode 1 ends the test and the illumination objects are back."""

import glob
import os
import signal
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.dirname(__file__))
from dmsc_process import Controller  # noqa: E402
from sign_picture import png_pixels  # noqa: E402

ADMIN = "quartermaster"
TEST_MODE = "1.3.6.1.4.1.1206.3.47.1.1.0"  # displayTestMode
TIME_SCALE = 4
RING = 64


def snmp(tool, port, *args):
    cmd = [tool, "-v1", "-c", ADMIN, "-m", "", "-On", "-t", "1", "-r", "2",
           f"udp:127.0.0.1:{port}", *args]
    done = subprocess.run(cmd, capture_output=True, text=True, timeout=30)
    return done.returncode, done.stdout + done.stderr


def dominant(path):
    """'red', 'green', 'blue' or 'dark': the colour channel that carries the picture."""
    _, _, rows = png_pixels(path)
    sums = [0, 0, 0]
    for row in rows:
        for i in range(0, len(row), 3):
            for c in range(3):
                sums[c] += row[i + c]
    top = max(sums)
    if top < 1000 or sorted(sums)[1] * 4 > top:
        return "dark" if top < 1000 else "mixed"
    return ("red", "green", "blue")[sums.index(top)]


def main():
    exe = sys.argv[1]
    offset = 20000 + (os.getpid() * 13) % 20000
    port = offset + 161
    with tempfile.TemporaryDirectory(prefix="dms_pattern_") as board:
        controller = Controller(exe, board, "--port-offset", str(offset), "--time-scale",
                                str(TIME_SCALE), "--frame-ring", str(RING))
        try:
            assert controller.read_until("Launching Thread(s)", 30), "no launch"
            deadline = time.monotonic() + 40
            while snmp("snmpget", port, TEST_MODE)[0] != 0:
                assert time.monotonic() < deadline, "no SNMP answer"
            frames = os.path.join(board, "frames")
            for old in glob.glob(os.path.join(frames, "0*.png")):
                os.remove(old)
            rc, out = snmp("snmpset", port, TEST_MODE, "i", "2")
            assert rc == 0 and "INTEGER: 2" in out, out
            # Four colours of 3 s each, twice, on the scaled clock.
            time.sleep(26 / TIME_SCALE)
            rc, out = snmp("snmpset", port, TEST_MODE, "i", "1")
            assert rc == 0, out
            time.sleep(1)
        finally:
            controller.kill(signal.SIGINT)
        pictures = sorted(glob.glob(os.path.join(frames, "0*.png")), key=os.path.getmtime)
        colours = [dominant(p) for p in pictures]
        steps = [c for i, c in enumerate(colours) if i == 0 or c != colours[i - 1]]
        text = " ".join(steps)
        assert "red green blue dark red green blue dark" in text, text
    print("test pattern: the sign showed red, green, blue and dark in turn:", text)
    return 0


if __name__ == "__main__":
    sys.exit(main())
