#!/usr/bin/env python3
"""The message table over SNMP on a running dmsc: a text set with validateReq becomes valid with
the CRC an independent computation gives, and can be activated with it; a text that does not
fit becomes an error with the MULTI error objects set; notUsedReq frees its memory."""

import os
import signal
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.dirname(__file__))
from dmsc_process import Controller  # noqa: E402

ADMIN = "quartermaster"
ENTRY = "1.3.6.1.4.1.1206.4.2.3.5.8.1"
ROW = "3.7"  # changeable message 7
FREE = "1.3.6.1.4.1.1206.4.2.3.5.4.0"  # dmsFreeChangeableMemory
VALIDATE_ERROR = "1.3.6.1.4.1.1206.4.2.3.5.9.0"
SYNTAX_ERROR = "1.3.6.1.4.1.1206.4.2.3.6.18.0"
ACTIVATE = "1.3.6.1.4.1.1206.4.2.3.6.3.0"
ACTIVATE_ERROR = "1.3.6.1.4.1.1206.4.2.3.6.17.0"


def snmp(tool, port, *args):
    cmd = [tool, "-v1", "-c", ADMIN, "-M", "/nonexistent", "-On", "-Oqv", "-t", "1", "-r", "2",
           f"udp:127.0.0.1:{port}", *args]
    done = subprocess.run(cmd, capture_output=True, text=True, timeout=30)
    return done.returncode, done.stdout.strip()


def crc(data):
    value = 0xFFFF
    for byte in data:
        value ^= byte
        for _ in range(8):
            value = (value >> 1) ^ 0x8408 if value & 1 else value >> 1
    value = ~value & 0xFFFF
    return ((value << 8) | (value >> 8)) & 0xFFFF


def get(port, oid):
    rc, out = snmp("snmpget", port, oid)
    assert rc == 0, out
    return out.strip('"')


def main():
    exe = sys.argv[1]
    offset = 20000 + (os.getpid() * 17) % 20000
    port = offset + 161
    with tempfile.TemporaryDirectory(prefix="dms_msgtable_") as board:
        controller = Controller(exe, board, "--port-offset", str(offset))
        try:
            assert controller.read_until("Launching Thread(s)", 30), "no launch"
            deadline = time.monotonic() + 40
            while snmp("snmpget", port, FREE)[0] != 0:
                assert time.monotonic() < deadline, "no SNMP answer"
            text = "[jp3]GO"
            rc, out = snmp("snmpset", port, f"{ENTRY}.9.{ROW}", "i", "6")
            assert rc == 0, out
            free = int(get(port, FREE))  # the message under edit is not counted
            rc, out = snmp("snmpset", port, f"{ENTRY}.3.{ROW}", "s", text,
                           f"{ENTRY}.9.{ROW}", "i", "7")
            assert rc == 0, out
            assert get(port, f"{ENTRY}.9.{ROW}") == "4", "not valid"
            stored = int(get(port, f"{ENTRY}.5.{ROW}"))
            assert stored == crc(text.encode() + b"\0\0"), (stored, crc(text.encode() + b"\0\0"))
            assert int(get(port, FREE)) == free - 1500
            assert get(port, VALIDATE_ERROR) == "2"

            code = f"FFFFFF030007{stored:04X}0A000001"
            rc, out = snmp("snmpset", port, ACTIVATE, "x", code)
            assert rc == 0, out
            assert get(port, ACTIVATE_ERROR) == "2"

            # Too big for the sign: error, with the MULTI error objects.
            rc, out = snmp("snmpset", port, f"{ENTRY}.9.3.8", "i", "6")
            assert rc == 0, out
            rc, out = snmp("snmpset", port, f"{ENTRY}.3.3.8", "s", "ROAD WORK AHEAD",
                           f"{ENTRY}.9.3.8", "i", "7")
            assert rc == 0, out
            assert get(port, f"{ENTRY}.9.3.8") == "5", "not an error"
            assert get(port, VALIDATE_ERROR) == "5"
            assert get(port, SYNTAX_ERROR) == "5"

            free = int(get(port, FREE))
            rc, out = snmp("snmpset", port, f"{ENTRY}.9.{ROW}", "i", "8")
            assert rc == 0, out
            assert get(port, f"{ENTRY}.9.{ROW}") == "1"
            assert int(get(port, FREE)) == free + 1500
        finally:
            controller.kill(signal.SIGINT)
    print("message table: validated over SNMP with the independent CRC, activated, deleted")
    return 0


if __name__ == "__main__":
    sys.exit(main())
