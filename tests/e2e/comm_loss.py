#!/usr/bin/env python3
"""Loss of communication on a new board whose clock was never set, at 30 times real time: a
central system stores a message, names it the comm-loss message with a one-minute comm-loss time
and falls silent. The sign must show the message (watched on frames/latest.png, since every SNMP
request counts as communication), the next request must find bit 0x2 of shortErrorStatus set and
source mode 12 (communication loss), and the bit must clear once requests come again."""

import os
import shutil
import signal
import struct
import subprocess
import sys
import tempfile
import time
import zlib

sys.path.insert(0, os.path.dirname(__file__))
from dmsc_process import Controller, free_offset  # noqa: E402
from sign_picture import lit_pixels  # noqa: E402

ADMIN = "quartermaster"
DMS = "1.3.6.1.4.1.1206.4.2.3"
ENTRY = DMS + ".5.8.1"
SOURCE_MODE = DMS + ".6.7.0"
TABLE_SOURCE = DMS + ".6.5.0"
LOSS_MESSAGE = DMS + ".6.12.0"
LOSS_TIME = DMS + ".6.13.0"
SHORT_ERROR = DMS + ".9.7.1.0"
ACTIVATE = DMS + ".6.3.0"
BLANK = "FFFFFF07000100007F000001"  # blank message 1
SYS_DESCR = "1.3.6.1.2.1.1.1.0"
COMM_ERROR = 0x2
LOSS_MODE = "12"

failures = []


def check(ok, what):
    if not ok:
        failures.append(what)
        print("FAIL:", what)


OFFSET = free_offset()


def snmp(tool, *args, patient=False):
    # A patient request is sent once: a repeat would count as a second request.
    timing = ["-t", "30", "-r", "0"] if patient else ["-t", "3", "-r", "1"]
    cmd = [tool, "-v1", "-m", "", "-On", "-Oqv", "-c", ADMIN, *timing,
           f"udp:127.0.0.1:{161 + OFFSET}", *args]
    done = subprocess.run(cmd, capture_output=True, text=True, timeout=60)
    return done.returncode, done.stdout.strip(), done.stderr.strip()


def get(*oids):
    """The values of the oids, one per line, or None."""
    rc, out, _ = snmp("snmpget", *oids)
    values = out.splitlines()
    return values if rc == 0 and len(values) == len(oids) else None


def until(what, timeout, step=0.2):
    deadline = time.monotonic() + timeout
    while time.monotonic() < deadline:
        value = what()
        if value:
            return value
        time.sleep(step)
    return None


def picture_lit(path):
    try:
        return lit_pixels(path)
    except (OSError, zlib.error, struct.error, IndexError):
        return None


def lost(picture, code):
    """Sets the loss message and time, then stays silent until the sign shows the message; the
    first request after it (one, patient) reads the error status, source mode and source."""
    rc, out, err = snmp("snmpset", LOSS_MESSAGE, "x", code.hex(), LOSS_TIME, "i", "1")
    check(rc == 0, f"comm-loss message and time accepted: {out} {err}")
    silent = time.monotonic()
    # A minute of the controller's time is 2 s here; the wait allows for a loaded machine.
    shown = until(lambda: picture_lit(picture), 90)
    if not shown:
        return None
    waited = time.monotonic() - silent
    check(waited > 1.0, f"not before a minute of silence (shown after {waited:.1f} s)")
    rc, out, _ = snmp("snmpget", SHORT_ERROR, SOURCE_MODE, TABLE_SOURCE, patient=True)
    values = out.splitlines()
    return values if rc == 0 and len(values) == 3 else None


def main():
    exe = sys.argv[1]
    root = tempfile.mkdtemp(prefix="dmsc_commloss_")
    board = os.path.join(root, "board")
    picture = os.path.join(board, "frames", "latest.png")
    controller = Controller(exe, board, "--port-offset", str(OFFSET), "--time-scale", "30")
    try:
        check(controller.read_until("Launching Thread(s)", 60) is not None, "dmsc starts")
        controller.drain()
        if not until(lambda: get(SYS_DESCR), 60):
            check(False, "the agent answers")
            return 1

        # Changeable message 1: modifyReq, its MULTI text, validateReq.
        for oid, kind, value in ((f"{ENTRY}.9.3.1", "i", "6"), (f"{ENTRY}.3.3.1", "s", "HI"),
                                 (f"{ENTRY}.9.3.1", "i", "7")):
            rc, out, err = snmp("snmpset", oid, kind, value)
            check(rc == 0, f"set {oid}: {out} {err}")
        check(until(lambda: get(f"{ENTRY}.9.3.1") == ["4"], 30), "changeable 1 is valid")
        crc = int((get(f"{ENTRY}.5.3.1") or ["0"])[0])
        check(crc != 0, "changeable 1 has its CRC")
        check(until(lambda: picture_lit(picture) == 0, 30), "the sign is dark before the loss")

        # The last request: the loss message (type 3, number 1, CRC) and a one-minute loss time.
        # A loaded machine can make the board's watchdog bite at this time scale; a restart
        # clears the volatile error bit, so a round that saw one starts again from a dark sign.
        code = bytes([3, 0, 1]) + crc.to_bytes(2, "big")
        for _ in range(3):
            boots = controller.tail.count(b"Launching Thread(s)")
            values = lost(picture, code)
            if values is not None or controller.tail.count(b"Launching Thread(s)") == boots:
                break
            print("the controller restarted during the loss: again")
            rc, out, err = snmp("snmpset", ACTIVATE, "x", BLANK)
            until(lambda: picture_lit(picture) == 0, 30)
        check(values is not None,
              "the sign shows the comm-loss message; the next request is answered")
        if values is not None:
            check(int(values[0]) & COMM_ERROR != 0, f"shortErrorStatus has 0x2: {values[0]}")
            check(values[1] == LOSS_MODE, f"dmsMsgSourceMode is 12: {values[1]}")
            source = bytes.fromhex(values[2].replace('"', ""))
            check(source == code, f"dmsMsgTableSource names the loss message: {source.hex()}")

        # Requests again: the bit clears (each get is itself a request).
        cleared = until(lambda: (v := get(SHORT_ERROR)) is not None and
                        int(v[0]) & COMM_ERROR == 0, 30, step=0.1)
        check(cleared, "a request clears bit 0x2 of shortErrorStatus")
    finally:
        controller.kill(signal.SIGTERM)
        if failures:
            print("console, last lines:")
            print("\n".join(controller.tail.decode(errors="replace").splitlines()[-40:]))
        shutil.rmtree(root, ignore_errors=True)
    print("ok" if not failures else f"{len(failures)} failure(s)")
    return 0 if not failures else 1


if __name__ == "__main__":
    sys.exit(main())
