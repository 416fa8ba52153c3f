#!/usr/bin/env python3
"""A central system drives dmsc's sign with Debian's snmpset and snmpget: a changeable message is
edited and validated through its status requests, activated by its code, shown on
frames/latest.png, refused with a wrong CRC, replaced by a blank message, and a software reset
boots the controller again on its board directory."""

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
OFFSET = free_offset()  # apart from other runs of this test
SNMP_PORT = 161 + OFFSET
DMS = "1.3.6.1.4.1.1206.4.2.3"
ENTRY = DMS + ".5.8.1"
ACTIVATE = DMS + ".6.3.0"
TABLE_SOURCE = DMS + ".6.5.0"
ACTIVATE_ERROR = DMS + ".6.17.0"
SW_RESET = DMS + ".6.2.0"
SYS_DESCR = "1.3.6.1.2.1.1.1.0"

failures = []


def check(ok, what):
    if not ok:
        failures.append(what)
        print("FAIL:", what)


def snmp(tool, *args):
    cmd = [tool, "-v1", "-m", "", "-On", "-c", ADMIN, "-t", "3", "-r", "1",
           f"udp:127.0.0.1:{SNMP_PORT}", *args]
    done = subprocess.run(cmd, capture_output=True, text=True, timeout=60)
    return done.returncode, done.stdout + done.stderr


def get_value(name):
    """The value text after "= TYPE: ", or None."""
    rc, out = snmp("snmpget", name)
    if rc != 0 or "=" not in out:
        return None
    value = out.split("=", 1)[1].strip()
    return value.split(":", 1)[1].strip() if ":" in value else value


def hex_octets(value):
    return bytes.fromhex(value.replace('"', "").replace("\n", " ")) if value else b""


def wait_for_agent(deadline):
    while time.monotonic() < deadline:
        if get_value(SYS_DESCR) is not None:
            return True
        time.sleep(0.2)
    return False


def wait_for_picture(path, predicate, timeout=10.0):
    deadline = time.monotonic() + timeout
    last = None
    while time.monotonic() < deadline:
        try:
            last = lit_pixels(path)
            if predicate(last):
                return last
        except (OSError, zlib.error, struct.error, IndexError):
            pass
        time.sleep(0.2)
    return last


def wait_for_status(number, wanted, timeout=10.0):
    deadline = time.monotonic() + timeout
    status = None
    while time.monotonic() < deadline:
        status = get_value(f"{ENTRY}.9.3.{number}")
        if status == str(wanted):
            return True
        time.sleep(0.1)
    print("status of changeable", number, "is", status, "not", wanted)
    return False


def activation_code(memory_type, number, crc):
    return (b"\xFF\xFF\xFF" + bytes([memory_type]) + number.to_bytes(2, "big") +
            crc.to_bytes(2, "big") + b"\x7F\x00\x00\x01")


def main():
    exe = sys.argv[1]
    root = tempfile.mkdtemp(prefix="dmsc_signctl_")
    board = os.path.join(root, "board")
    picture = os.path.join(board, "frames", "latest.png")
    controller = Controller(exe, board, "--port-offset", str(OFFSET))
    try:
        check(controller.read_until("Launching Thread(s)", 30) is not None, "dmsc starts")
        if not wait_for_agent(time.monotonic() + 30):
            check(False, "the agent answers")
            return 1
        check(wait_for_picture(picture, lambda n: n == 0) == 0, "the sign starts dark")

        # Edit changeable message 1 (stored by the first start's SCRIPT.XML): modifyReq, the
        # MULTI text, validateReq; message table processing makes it valid with its CRC.
        rc, out = snmp("snmpset", f"{ENTRY}.9.3.1", "i", "6")
        check(rc == 0, f"modifyReq: {out}")
        check(wait_for_status(1, 2), "changeable 1 is modifying")
        rc, out = snmp("snmpset", f"{ENTRY}.3.3.1", "s", "HI")
        check(rc == 0, f"MULTI text written: {out}")
        rc, out = snmp("snmpset", f"{ENTRY}.9.3.1", "i", "7")
        check(rc == 0, f"validateReq: {out}")
        check(wait_for_status(1, 4), "changeable 1 is valid")
        check(get_value(f"{ENTRY}.3.3.1") == '"HI"', "changeable 1 keeps its text")
        crc_text = get_value(f"{ENTRY}.5.3.1")
        crc = int(crc_text) if crc_text and crc_text.isdigit() else 0
        check(crc != 0, f"changeable 1 has its CRC ({crc_text})")

        # Activate it by its code.
        code = activation_code(3, 1, crc)
        rc, out = snmp("snmpset", ACTIVATE, "x", code.hex())
        check(rc == 0, f"activation accepted: {out}")
        source = hex_octets(get_value(TABLE_SOURCE))
        check(source == bytes([3, 0, 1]) + crc.to_bytes(2, "big"),
              f"dmsMsgTableSource names changeable 1 and its CRC: {source.hex()}")
        check(get_value(ACTIVATE_ERROR) == "2", "dmsActivateMsgError none")
        shown = wait_for_picture(picture, lambda n: n > 0)
        check(shown is not None and shown > 0, "frames/latest.png shows the text")
        check(hex_octets(get_value(ACTIVATE)) == code, "dmsActivateMessage reads the served code")

        # A wrong CRC is refused and the sign keeps its picture.
        rc, out = snmp("snmpset", ACTIVATE, "x", activation_code(3, 1, crc ^ 0x5555).hex())
        check(rc != 0 and "genErr" in out, f"wrong CRC answers genErr: {out}")
        check(get_value(ACTIVATE_ERROR) == "7", "dmsActivateMsgError messageCRC")
        time.sleep(0.5)
        check(wait_for_picture(picture, lambda n: n == shown) == shown, "the frame is unchanged")

        # Blank message 1 darkens the sign.
        rc, out = snmp("snmpset", ACTIVATE, "x", activation_code(7, 1, 0).hex())
        check(rc == 0, f"blank message accepted: {out}")
        check(wait_for_picture(picture, lambda n: n == 0) == 0, "the sign goes dark")

        # A software reset boots the controller again on its board directory.
        rc, out = snmp("snmpset", SW_RESET, "i", "1")
        check(rc == 0, f"dmsSWReset accepted: {out}")
        check(controller.read_until("Booting", 30) is not None, "the controller boots again")
        check(controller.read_until("Launching Thread(s)", 30) is not None,
              "the second boot launches its threads")
        check(wait_for_agent(time.monotonic() + 30), "the agent answers after the reset")
        check(get_value(f"{ENTRY}.9.3.1") == "4", "changeable 1 is still valid after the reset")
        check(get_value(SW_RESET) == "0", "dmsSWReset reads 0 after the reset")
    finally:
        controller.kill(signal.SIGTERM)
        shutil.rmtree(root, ignore_errors=True)
    print("ok" if not failures else f"{len(failures)} failure(s)")
    return 0 if not failures else 1


if __name__ == "__main__":
    sys.exit(main())
