#!/usr/bin/env python3
"""The sign's geometry changed over SNMP on a running dmsc: a stored line length past the sign's
width is cut back, a new module type rebuilds the face with its own module size (written back
rounded up to whole modules), the module table names the new sign model, and the next picture
of the sign in frames/latest.png has the new size."""

import os
import signal
import struct
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.dirname(__file__))
from dmsc_process import Controller  # noqa: E402

ADMIN = "quartermaster"
HEIGHT = "1.3.6.1.4.1.1206.4.2.3.2.3.0"  # vmsSignHeightPixels
WIDTH = "1.3.6.1.4.1.1206.4.2.3.2.4.0"  # vmsSignWidthPixels
MODULE_ID = "1.3.6.1.4.1.1206.3.47.2.9.0"  # brenModuleID
LINE_1 = "1.3.6.1.4.1.1206.3.47.2.32.4.1.2.1"  # brenLineLength of module line 1
SIGN_MODEL = "1.3.6.1.4.1.1206.4.2.6.1.3.1.4.7"  # moduleModel of module row 7
LED_CELL = 8  # picture pixels per LED


def snmp(tool, port, *args):
    cmd = [tool, "-v1", "-c", ADMIN, "-m", "", "-On", "-Oqv", "-t", "1", "-r", "2",
           f"udp:127.0.0.1:{port}", *args]
    done = subprocess.run(cmd, capture_output=True, text=True, timeout=30)
    return done.returncode, done.stdout.strip() + done.stderr.strip()


def png_size(path):
    with open(path, "rb") as f:
        head = f.read(24)
    width, height = struct.unpack(">II", head[16:24])
    return width // LED_CELL, height // LED_CELL


def wait_for(what, probe, expected, controller, seconds=20):
    deadline = time.monotonic() + seconds
    seen = None
    while time.monotonic() < deadline:
        seen = probe()
        if seen == expected:
            return
        controller.read_until("never printed", 0.2)  # keeps the console pipe drained
    raise AssertionError(f"{what}: {seen!r}, expected {expected!r}")


def main():
    exe = sys.argv[1]
    offset = 20000 + (os.getpid() * 13) % 20000
    port = offset + 161
    with tempfile.TemporaryDirectory(prefix="dms_geometry_") as board:
        latest = os.path.join(board, "frames", "latest.png")
        controller = Controller(exe, board, "--port-offset", str(offset))
        try:
            assert controller.read_until("Launching Thread(s)", 30), "no launch"
            deadline = time.monotonic() + 40
            while snmp("snmpget", port, HEIGHT)[0] != 0:
                assert time.monotonic() < deadline, "no SNMP answer"

            # The factory sign: 16 x 24 pixels of 8 x 8 modules, 3 modules a line.
            assert snmp("snmpget", port, HEIGHT, WIDTH)[1].split() == ["16", "24"]
            wait_for("model", lambda: snmp("snmpget", port, SIGN_MODEL)[1], '"RD-5XXX-X-18-W"',
                     controller)
            wait_for("picture", lambda: os.path.exists(latest) and png_size(latest), (24, 16),
                     controller)

            # 9 modules in a line of 3: cut back and written back.
            rc, out = snmp("snmpset", port, LINE_1, "i", "9")
            assert rc == 0, out
            wait_for("line 1", lambda: snmp("snmpget", port, LINE_1)[1], "3", controller)

            # Module type 80 (7 x 5 modules): 16 x 24 becomes 21 x 25.
            rc, out = snmp("snmpset", port, MODULE_ID, "i", "80")
            assert rc == 0, out
            wait_for("geometry", lambda: snmp("snmpget", port, HEIGHT, WIDTH)[1].split(),
                     ["21", "25"], controller)
            wait_for("model", lambda: snmp("snmpget", port, SIGN_MODEL)[1],
                     '"RC-3XXX-21x25-34-RGB"', controller)
            wait_for("picture", lambda: png_size(latest), (25, 21), controller)
        finally:
            controller.kill(signal.SIGINT)
    print("geometry: line length cut, face rebuilt for the new module type, picture resized")
    return 0


if __name__ == "__main__":
    sys.exit(main())
