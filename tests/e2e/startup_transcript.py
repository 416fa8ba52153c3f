#!/usr/bin/env python3
"""End-to-end: the start-up transcript of dmsc on an empty board directory, a power cut
(SIGKILL) and the boot after it, and a clean stop on SIGTERM."""

import os
import re
import shutil
import signal
import struct
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from dmsc_process import Controller  # noqa: E402

HEAD = [
    "Booting PX40317 ver 1.9.4588.53 built Dec  4 2018 at 15:57:36....\n",
    " - Detecting Hardware\t\t\t\t\t[ OK ]\n",
    "\tSFC Product Board II\n",
    " - Is Bootloader Current?\t\t\t\t[ OK ]\n",
    " - Initialize Q3 Platform Specific Items\t\t[ OK ]\n",
]
TAIL = " - Initialize RD Product Specific Items\t\t[ OK ]\n"
# The database's start-up lines come between the two: a new journal on an empty board, the
# journal replayed on every later boot.
NEW_JOURNAL = [" - Find Flash DB File\t\t\t\t\t[FAIL]\n", "\tCreating nv1.dat\n"]
JOURNAL_START = [" - Find Flash DB File\t\t\t\t\t[ OK ]\n",
                 " - Loading off nv1.dat\t\t\t\t\t[ OK ]\n"]
# A start with the script trigger set (the first) writes the built-in SCRIPT.XML and applies it;
# every setting the MIB has no instance for prints its "No Such Name #13" line meanwhile.
SCRIPT = re.compile(
    r" - Writing SCRIPT\.XML\t{5}\[ OK \]\n - Detected Script File\t{5}"
    r"(No Such Name #13\n)*\[ OK \]\n$"
)
LAUNCH = re.compile(
    r"Launching Thread\(s\) at (\d{1,2}) (\d{1,2}) (\d{4}) (\d{1,2}):(\d{1,2}):(\d{1,2}) GMT, "
    r"Please Wait\.\.\.\n$"
)
EPLD = " - Programming EPLD\t\t\t\t\t[ OK ]\n"
# The factory sign, 16 x 24 LEDs, drawn 8 picture pixels a LED.
SIGN_PICTURE = (24 * 8, 16 * 8)

failures = []


def check(condition, message):
    if not condition:
        failures.append(message)
        print("FAIL:", message)


def boot(exe, board, label, database, *extra, script=False):
    """database: the expected start of the database's lines (None: no database task); script:
    the start applies the built-in SCRIPT.XML."""
    c = Controller(exe, board, *extra)
    text = c.read_until("Launching Thread(s)")
    check(text is not None, f"{label}: no 'Launching Thread(s)' line")
    if text is None:
        c.kill()
        return None, None
    lines = text.splitlines(keepends=True)
    if TAIL in lines:
        tail = len(lines) - 1 - lines[::-1].index(TAIL)
        applied = "".join(lines[tail + 1 : -1])
        check(SCRIPT.match(applied) is not None if script else applied == "",
              f"{label}: script lines {applied[:300]!r}")
        lines = lines[: tail + 1] + lines[-1:]
    ok = lines[: len(HEAD)] == HEAD and len(lines) >= len(HEAD) + 2 and lines[-2] == TAIL
    check(ok, f"{label}: transcript differs:\n{''.join(lines)!r}")
    block = lines[len(HEAD) : -2]
    if database is None:
        check(block == [], f"{label}: unexpected lines {block!r}")
    elif block == []:
        print(f"{label}: no database task in this build, its lines not checked")
    else:
        check(block[: len(database)] == database, f"{label}: database lines {block!r}")
    check(EPLD in block, f"{label}: no EPLD line in {block!r}")
    match = LAUNCH.match(lines[-1])
    check(match is not None, f"{label}: launch line {lines[-1]!r}")
    if match:
        day, month, year, hour, minute, second = map(int, match.groups())
        check(1 <= day <= 31 and 1 <= month <= 12 and year >= 2000, f"{label}: date {lines[-1]!r}")
        check(hour < 24 and minute < 60 and second < 61, f"{label}: time {lines[-1]!r}")
    return c, text


def png_size(path, attempts=100):
    """(width, height) from the PNG's header, or None; the picture is written a little after
    the boot, so it is waited for."""
    for _ in range(attempts):
        try:
            with open(path, "rb") as f:
                head = f.read(24)
            if head[:8] == b"\x89PNG\r\n\x1a\n" and head[12:16] == b"IHDR":
                return struct.unpack(">II", head[16:24])
        except OSError:
            pass
        time.sleep(0.05)
    return None


def main():
    exe = sys.argv[1]
    root = tempfile.mkdtemp(prefix="dmsc_e2e_")
    board = os.path.join(root, "board", "one")  # made on first use, parents included
    try:
        first, _ = boot(exe, board, "first boot", NEW_JOURNAL, script=True)
        if first is None:
            return 1
        for name in ("flash.bin", "nvram.bin", "environment"):
            check(os.path.exists(os.path.join(board, name)), f"board directory lacks {name}")
        check(png_size(os.path.join(board, "frames", "latest.png")) == SIGN_PICTURE,
              "frames/latest.png is not the picture of the sign")
        check(first.kill(signal.SIGKILL) == -signal.SIGKILL, "SIGKILL ends the process")

        # Power comes back: the same board directory boots again.
        second, _ = boot(exe, board, "boot after SIGKILL", JOURNAL_START)
        if second is None:
            return 1
        # SIGTERM stops cleanly with nothing more on the console than the controller's own lines.
        status = second.kill(signal.SIGTERM)
        check(status == 0, f"SIGTERM: exit status {status}")

        third, _ = boot(exe, board, "boot with options", JOURNAL_START, "--port-offset", "10000",
                        "--allow-network", "--time-scale", "2")
        if third is not None:
            status = third.kill(signal.SIGINT)
            check(status == 0, f"SIGINT: exit status {status}")

        bad = subprocess.run([exe, "--board-dir", board, "--port-offset", "x"],
                             capture_output=True, timeout=10)
        check(bad.returncode == 2, f"a bad option value: exit status {bad.returncode}")
    finally:
        shutil.rmtree(root, ignore_errors=True)
    print("ok" if not failures else f"{len(failures)} failure(s)")
    return 0 if not failures else 1


if __name__ == "__main__":
    sys.exit(main())
