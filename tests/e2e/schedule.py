#!/usr/bin/env python3
"""A time-base schedule changes what the sign of a running dmsc shows at its event's minute.

The message and the action it is shown by are written into the object store of the stopped
controller (store_host appends them to its journal), with the schedule message as the message
shown after a restart, so that the next start puts the sign under schedule control. Over SNMP the
schedule row, a day plan with a blank message from 00:00 and the message from 08:30, and the time
08:29:40 are set; on the scaled clock the sign's picture frames/latest.png must stay blank until
08:30 and change within that minute."""

import os
import signal
import socket
import struct
import subprocess
import sys
import tempfile
import time
import zlib

sys.path.insert(0, os.path.dirname(__file__))
from dmsc_process import Controller  # noqa: E402
from sign_picture import lit_pixels  # noqa: E402

ADMIN = "quartermaster"
TIME_SCALE = 10
GLOBAL = "1.3.6.1.4.1.1206.4.2.6.3"
GLOBAL_TIME = GLOBAL + ".1.0"
SCHEDULE_ROW = GLOBAL + ".3.2.1"   # .column.row
DAY_PLAN = GLOBAL + ".3.5.1"       # .column.plan.event
DAY_PLAN_STATUS = GLOBAL + ".3.6.0"
ACTION_1 = "1.3.6.1.4.1.1206.4.2.3.8.2.1.1.1"  # dmsActionIndex.1: action 1
ACTION_2 = "1.3.6.1.4.1.1206.4.2.3.8.2.1.1.2"
ZONE = -21600  # controllerStandardTimeZone, factory value
# 2026-03-04 08:30:00 local time, in seconds since 1970 of global time.
EVENT_LOCAL = 1772613000
EVENT_GLOBAL = EVENT_LOCAL - ZONE


def snmp(tool, port, *args):
    cmd = [tool, "-v2c", "-c", ADMIN, "-m", "", "-On", "-Oqv", "-t", "1", "-r", "2",
           f"udp:127.0.0.1:{port}", *args]
    done = subprocess.run(cmd, capture_output=True, text=True, timeout=30)
    return done.returncode, (done.stdout + done.stderr).strip()


def ber(tag, body):
    n = len(body)
    length = bytes([n]) if n < 128 else bytes([0x80 | ((n.bit_length() + 7) // 8)]) + \
        n.to_bytes((n.bit_length() + 7) // 8, "big")
    return bytes([tag]) + length + body


def ber_unsigned(tag, value):
    body = value.to_bytes(max(1, (value.bit_length() + 8) // 8), "big")
    return ber(tag, body)


def ber_oid(text):
    ids = [int(x) for x in text.split(".")]
    body = bytearray([ids[0] * 40 + ids[1]])
    for sub in ids[2:]:
        chunk = [sub & 0x7F]
        sub >>= 7
        while sub:
            chunk.insert(0, 0x80 | (sub & 0x7F))
            sub >>= 7
        body += bytes(chunk)
    return ber(0x06, bytes(body))


def set_counter(port, oid, value):
    """net-snmp's snmpset has no Counter32 type: one v2c set request built here."""
    varbind = ber(0x30, ber_oid(oid) + ber_unsigned(0x41, value))
    pdu = ber(0xA3, ber_unsigned(0x02, 7) + ber_unsigned(0x02, 0) + ber_unsigned(0x02, 0) +
              ber(0x30, varbind))
    message = ber(0x30, ber_unsigned(0x02, 1) + ber(0x04, ADMIN.encode()) + pdu)
    with socket.socket(socket.AF_INET, socket.SOCK_DGRAM) as s:
        s.settimeout(2)
        s.sendto(message, ("127.0.0.1", port))
        answer = s.recv(2048)
    assert answer.startswith(b"\x30"), answer


def wait_for_agent(port):
    deadline = time.monotonic() + 40
    while snmp("snmpget", port, GLOBAL_TIME)[0] != 0:
        assert time.monotonic() < deadline, "no SNMP answer"


def dark(board):
    """True when the sign's picture has no lit pixel, None while there is none to read."""
    try:
        return lit_pixels(os.path.join(board, "frames", "latest.png")) == 0
    except (OSError, AssertionError, IndexError, struct.error, zlib.error):
        return None


def picture(board):
    path = os.path.join(board, "frames", "latest.png")
    try:
        with open(path, "rb") as f:
            return f.read()
    except FileNotFoundError:
        return b""


def main():
    exe, store_host = sys.argv[1], sys.argv[2]
    offset = 20000 + (os.getpid() * 13) % 20000
    port = offset + 161
    args = ["--port-offset", str(offset), "--time-scale", str(TIME_SCALE), "--uart0", "none",
            "--uart1", "none"]
    with tempfile.TemporaryDirectory(prefix="dms_schedule_") as board:
        # A first start makes the journal.
        controller = Controller(exe, board, *args)
        try:
            assert controller.read_until("Launching Thread(s)", 30), "no launch"
            wait_for_agent(port)
        finally:
            controller.kill(signal.SIGINT)

        schedule_message = "0x0600010000"  # memory type 6, number 1, CRC 0
        written = subprocess.run(
            [store_host, board,
             "dmsMessageMultiString.1=HI", "dmsMessageCRC.1=4660",
             "dmsMessageStatus.1=4", "dmsMessageRunTimePriority.1=1",
             "dmsActionMsgCode.1=0x0300011234",
             "dmsActionMsgCode.2=0x0700010000",
             "dmsResetMessage=" + schedule_message,
             "dmsShortPowerRecoveryMessage=" + schedule_message,
             "dmsLongPowerRecoveryMessage=" + schedule_message],
            capture_output=True, text=True, timeout=30)
        assert written.returncode == 0, written.stderr

        controller = Controller(exe, board, *args)
        try:
            assert controller.read_until("Launching Thread(s)", 30), "no launch"
            wait_for_agent(port)
            sets = [
                (SCHEDULE_ROW + ".2.1", "i", str(0x1FFE)),      # every month
                (SCHEDULE_ROW + ".3.1", "i", str(0xFE)),        # every day of the week
                (SCHEDULE_ROW + ".4.1", "i", "-2"),  # every day of the month (bits 1-31)
                (SCHEDULE_ROW + ".5.1", "i", "1"),              # day plan 1
                (DAY_PLAN + ".3.1.1", "i", "0"),  # event 1 at 00:00: blank
                (DAY_PLAN + ".4.1.1", "i", "0"),
                (DAY_PLAN + ".5.1.1", "o", ACTION_2),
                (DAY_PLAN + ".3.1.2", "i", "8"),  # event 2 at 08:30: the message
                (DAY_PLAN + ".4.1.2", "i", "30"),
                (DAY_PLAN + ".5.1.2", "o", ACTION_1),
            ]
            for oid, kind, value in sets:
                rc, out = snmp("snmpset", port, oid, kind, value)
                assert rc == 0, f"{oid}: {out}"
            # The schedule sees the sign blank under its control before the event (the board's
            # clock runs from its own time of day until the time is set).
            set_counter(port, GLOBAL_TIME, EVENT_GLOBAL - 3600)
            deadline = time.monotonic() + 30
            while dark(board) is not True:
                assert time.monotonic() < deadline, "the sign is not blank before the event"
                time.sleep(0.1)
            time.sleep(0.5)
            blank = picture(board)
            assert dark(board), "the sign is not blank before the event"
            set_counter(port, GLOBAL_TIME, EVENT_GLOBAL - 20)
            rc, now = snmp("snmpget", port, GLOBAL_TIME)
            assert rc == 0 and EVENT_GLOBAL - 20 <= int(now) < EVENT_GLOBAL - 10, now
            changed_at = None
            deadline = time.monotonic() + 60 / TIME_SCALE + 20
            while time.monotonic() < deadline:
                shown = picture(board)
                rc, now = snmp("snmpget", port, GLOBAL_TIME)  # read after the picture
                assert rc == 0, now
                if shown != blank:
                    changed_at = int(now)
                    break
                assert int(now) < EVENT_GLOBAL + 60, "the sign did not change at 08:30"
                time.sleep(0.1)
            assert changed_at is not None, "the sign never changed"
            assert EVENT_GLOBAL <= changed_at < EVENT_GLOBAL + 60, changed_at - EVENT_GLOBAL
            rc, status = snmp("snmpget", port, DAY_PLAN_STATUS)
            assert rc == 0 and status == "2", status
        finally:
            controller.kill(signal.SIGINT)
    print(f"schedule: the sign changed {changed_at - EVENT_GLOBAL} s after 08:30 local time")
    return 0


if __name__ == "__main__":
    sys.exit(main())
