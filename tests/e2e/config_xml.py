#!/usr/bin/env python3
"""A configuration setting changed over SNMP on a running dmsc is written to CONFIG.XML after the
write delay, and CONFIG.BAK is gone."""

import os
import signal
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.dirname(__file__))
from dmsc_process import Controller  # noqa: E402

ADMIN = "quartermaster"
REMOTE_IP_PORT = "1.3.6.1.4.1.1206.3.47.2.21.2.0"  # brenRemoteIPPort, a catalogue object
TIME_SCALE = 20
WRITE_DELAY = 600 * 0.5  # polling cycles of the peripheral task, in seconds


def snmp(tool, port, *args):
    cmd = [tool, "-v1", "-c", ADMIN, "-m", "", "-On", "-t", "1", "-r", "2",
           f"udp:127.0.0.1:{port}", *args]
    done = subprocess.run(cmd, capture_output=True, text=True, timeout=30)
    return done.returncode, done.stdout + done.stderr


def main():
    exe, flashdump = sys.argv[1], sys.argv[2]
    offset = 20000 + (os.getpid() * 11) % 20000
    port = offset + 161
    with tempfile.TemporaryDirectory(prefix="dms_config_") as board:
        controller = Controller(exe, board, "--port-offset", str(offset), "--time-scale",
                                str(TIME_SCALE))
        try:
            assert controller.read_until("Launching Thread(s)", 30), "no launch"
            deadline = time.monotonic() + 40
            while snmp("snmpget", port, REMOTE_IP_PORT)[0] != 0:
                assert time.monotonic() < deadline, "no SNMP answer"
            # What the start printed (its own CONFIG.XML among it) is set aside.
            controller.read_until("never printed", 1)
            controller.buffer = b""
            rc, out = snmp("snmpset", port, REMOTE_IP_PORT, "i", "2001")
            assert rc == 0 and "INTEGER: 2001" in out, out
            # The write delay runs on the scaled clock; a loaded machine (or a restart of the
            # board meanwhile) can stretch it, so wait for the write itself.
            line = controller.read_until("Writing CONFIG.XML", 4 * WRITE_DELAY / TIME_SCALE + 30)
            assert line is not None and "[ OK ]" in line, f"no CONFIG.XML write: {line!r}"
        finally:
            controller.kill(signal.SIGINT)
        listing = subprocess.run([flashdump, board, "ls"], capture_output=True, text=True).stdout
        assert "CONFIG.XML" in listing and "CONFIG.BAK" not in listing, listing
        out = os.path.join(board, "config.xml")
        subprocess.run([flashdump, board, "extract", "CONFIG.XML", out], check=True)
        with open(out, errors="replace") as f:
            text = f.read()
        assert "brenRemoteIPPort[0000]:XXXX,7D1" in text, text
    print("config: the changed setting is in CONFIG.XML, CONFIG.BAK is gone")
    return 0


if __name__ == "__main__":
    sys.exit(main())
