#!/usr/bin/env python3
"""Font, graphic and status objects on a running dmsc, with Debian's net-snmp tools: a walk of the
power supply status table gives every column's 300 rows with the column's own type and ends, a
font and a graphic downloaded with snmpset read back with snmpget, the factory brightness table
(a response above one frame) reads whole over UDP and TCP, and a brightness table of the wrong
length is refused and leaves the stored one."""

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
POWER_TABLE = DMS + ".9.7.13"
FONT = DMS + ".3.2.1"
CHARACTER = DMS + ".3.4.1"
GRAPHIC = DMS + ".10.6.1"
BLOCK = DMS + ".10.7.1"
BRIGHTNESS = DMS + ".7.7.0"
BRIGHTNESS_ERROR = DMS + ".7.8.0"
# Column types of the power table: index, description, manufacturer status, status, voltage,
# type.
POWER_TYPES = {1: "INTEGER", 2: "STRING", 3: "STRING", 4: "INTEGER", 5: "INTEGER", 6: "INTEGER"}


def snmp(tool, port, *args, output="-Oqv", transport="udp"):
    cmd = [tool, "-v1", "-c", ADMIN, "-m", "", "-On", output, "-t", "2", "-r", "2",
           f"{transport}:127.0.0.1:{port}", *args]
    done = subprocess.run(cmd, capture_output=True, text=True, timeout=120)
    return done.returncode, done.stdout.strip() + done.stderr.strip()


def check_power_walk(port):
    rc, out = snmp("snmpwalk", port, POWER_TABLE, output="-Ot")
    assert rc == 0, out
    lines = out.splitlines()
    assert len(lines) == 1800, f"{len(lines)} varbinds"
    seen = []
    for line in lines:
        name, rest = line.split(" = ", 1)
        column, row = (int(x) for x in name.rsplit(".", 2)[1:])
        kind = rest.split(":", 1)[0] if ":" in rest else "STRING"
        assert kind == POWER_TYPES[column] or (rest == '""' and POWER_TYPES[column] == "STRING"), \
            line
        seen.append((column, row))
    assert seen == [(c, r) for c in range(1, 7) for r in range(1, 301)], "rows out of order"
    for row in ("301", "70000", "4294967295", "0"):
        rc, out = snmp("snmpget", port, f"{POWER_TABLE}.1.5.{row}")
        assert rc != 0 and "noSuchName" in out, (row, out)


def check_font_and_graphic(port):
    sets = [
        (f"{FONT}.3.4", "s", "Road 7"),
        (f"{FONT}.4.4", "i", "7"),
        (f"{FONT}.5.4", "i", "1"),
        (f"{CHARACTER}.2.4.65", "i", "5"),
        (f"{CHARACTER}.3.4.65", "x", "7098C1FE3F"),
        (f"{GRAPHIC}.3.5", "s", "Arrow"),
        (f"{GRAPHIC}.4.5", "i", "4"),
        (f"{GRAPHIC}.5.5", "i", "8"),
        (f"{BLOCK}.3.5.1", "x", "18 3C 7E FF"),
    ]
    for oid, kind, value in sets:
        rc, out = snmp("snmpset", port, oid, kind, value)
        assert rc == 0, (oid, out)
    rc, out = snmp("snmpget", port, f"{FONT}.3.4", f"{FONT}.4.4", f"{CHARACTER}.2.4.65",
                   f"{CHARACTER}.3.4.65", f"{GRAPHIC}.3.5", f"{GRAPHIC}.5.5",
                   output="-Oqvx")
    assert rc == 0, out
    values = [v.strip('"').replace(" ", "").upper() for v in out.splitlines()]
    assert values[0] == b"Road 7".hex().upper(), values
    assert values[1] == "7" and values[2] == "5", values
    assert values[3] == "7098C1FE3F", values
    assert values[4] == b"Arrow".hex().upper() and values[5] == "8", values
    # A block answer is padded to the block size; the graphic's size change emptied nothing set
    # after it.
    rc, out = snmp("snmpget", port, f"{BLOCK}.3.5.1", output="-Oqvx")
    assert rc == 0, out
    octets = out.replace(" ", "").replace("\n", "").replace('"', "")
    assert octets.upper().startswith("183C7EFF") and len(octets) == 2 * 1023, octets[:40]
    # The font's version is computed over its contents at each read.
    rc, first = snmp("snmpget", port, f"{FONT}.7.4")
    assert rc == 0, first
    rc, out = snmp("snmpset", port, f"{CHARACTER}.2.4.65", "i", "6")
    assert rc == 0, out
    rc, second = snmp("snmpget", port, f"{FONT}.7.4")
    assert rc == 0 and second != first, (first, second)


def check_large_answer(port):
    """The factory brightness table (248 levels, 1489 octets) makes a response larger than one
    Ethernet frame: it arrives whole over UDP (in IP fragments) and over TCP."""
    for transport in ("udp", "tcp"):
        rc, out = snmp("snmpget", port, BRIGHTNESS, output="-Oqvx", transport=transport)
        assert rc == 0, (transport, out)
        octets = bytes.fromhex(out.replace('"', "").replace(" ", "").replace("\n", ""))
        assert len(octets) == 1 + 6 * 248 and octets[0] == 248, (transport, len(octets))


def check_brightness(port):
    good = "02 0010 0000 0064 0020 0065 00C8"
    rc, out = snmp("snmpset", port, BRIGHTNESS, "x", good)
    assert rc == 0, out
    rc, out = snmp("snmpset", port, BRIGHTNESS, "x", "02 0010 0000 0064 0020 0065")
    assert rc != 0 and "genErr" in out, out
    # The refusal's invalidData stays readable while the display checks the stored table again.
    until = time.monotonic() + 2
    while time.monotonic() < until:
        rc, out = snmp("snmpget", port, BRIGHTNESS_ERROR)
        assert rc == 0 and out == "6", out
    rc, out = snmp("snmpget", port, BRIGHTNESS, output="-Oqvx")
    assert rc == 0, out
    assert out.replace(" ", "").replace('"', "").replace("\n", "").upper() == good.replace(" ", "")


def main():
    exe = sys.argv[1]
    offset = 20000 + (os.getpid() * 17) % 20000
    port = offset + 161
    with tempfile.TemporaryDirectory(prefix="dms_status_") as board:
        controller = Controller(exe, board, "--port-offset", str(offset))
        try:
            assert controller.read_until("Launching Thread(s)", 30), "no launch"
            # The console keeps printing; drain it so the controller never blocks on the pipe.
            threading.Thread(target=lambda: controller.read_until("never printed", 600),
                             daemon=True).start()
            deadline = time.monotonic() + 40
            while snmp("snmpget", port, DMS + ".3.1.0")[0] != 0:
                assert time.monotonic() < deadline, "no SNMP answer"
            check_power_walk(port)
            check_font_and_graphic(port)
            check_large_answer(port)
            check_brightness(port)
        finally:
            controller.kill(signal.SIGINT)
    print("status objects: ok")


if __name__ == "__main__":
    main()
