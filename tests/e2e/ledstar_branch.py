#!/usr/bin/env python3
"""The 1206.3.16 branch on a running dmsc: a walk over it leaves compatibility mode off, a get of
1.1.20.5.0 turns it on (dmsMaxChangeableMsg answers 25), and its restart request 1.1.9.0 restarts
the controller plainly (2) or without journal, CONFIG.XML and bitmaps (1)."""

import os
import signal
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.dirname(__file__))
from dmsc_process import Controller, net_snmp  # noqa: E402

BRANCH = "1.3.6.1.4.1.1206.3.16"
SWITCH = BRANCH + ".1.1.20.5.0"
RESTART = BRANCH + ".1.1.9.0"
STORED = BRANCH + ".1.1.22.0"  # a storage row: kept until the next start
MAX_CHANGEABLE = "1.3.6.1.4.1.1206.4.2.3.5.3.0"  # dmsMaxChangeableMsg
REMOTE_IP_PORT = "1.3.6.1.4.1.1206.3.47.2.21.2.0"  # brenRemoteIPPort, a CONFIG.XML setting
FACTORY_REMOTE_IP_PORT = "162"
BITMAP = "Bitmaps/LOGO.bmp"
# Instances a walk answers: 46 scalars, three one-index tables of 5 rows (3, 6 and 2 columns)
# and the 5 x 5 grid's 3 columns; the three-index cube is not walked into.
WALKED = 46 + 5 * (3 + 6 + 2) + 25 * 3


def files(flashdump, board):
    done = subprocess.run([flashdump, board, "ls"], capture_output=True, text=True, check=True)
    return done.stdout


def snmp(tool, port, *args, options=("-Oqv",)):
    return net_snmp(tool, port, *args, options=options, timeout=300)


def get(port, oid):
    rc, out = snmp("snmpget", port, oid)
    assert rc == 0, f"{oid}: {out}"
    return out


def wait_for_agent(port, seconds=60):
    deadline = time.monotonic() + seconds
    while snmp("snmpget", port, MAX_CHANGEABLE)[0] != 0:
        assert time.monotonic() < deadline, "no SNMP answer"


def restart(controller, port, value):
    """Asks for a restart through the branch and waits until the agent answers again."""
    controller.read_until("never printed", 0.5)
    controller.buffer = b""
    rc, out = snmp("snmpset", port, RESTART, "i", str(value))
    assert rc == 0, f"restart request {value}: {out}"
    assert controller.read_until("Booting", 60) is not None, f"no restart after {value}"
    assert controller.read_until("Launching Thread(s)", 60) is not None, f"no launch after {value}"
    wait_for_agent(port)


def main():
    exe, flashdump = sys.argv[1], sys.argv[2]
    offset = 41000 + (os.getpid() * 7) % 900
    port = offset + 161
    with tempfile.TemporaryDirectory(prefix="dms_ledstar_") as board:
        # A CONFIG.XML seeded before the first start: the start restores its setting.
        seed = os.path.join(board, "seed.xml")
        with open(seed, "w") as f:
            f.write("<!-- CONFIG.XML Q2 V2.0 -->\nbrenRemoteIPPort[0000]:XXXX,7D1\n")
        subprocess.run([flashdump, board, "add", "CONFIG.XML", seed, "p"], check=True,
                       capture_output=True)
        subprocess.run([flashdump, board, "add", BITMAP, seed], check=True, capture_output=True)
        controller = Controller(exe, board, "--port-offset", str(offset))
        try:
            assert controller.read_until("Launching Thread(s)", 60), "no launch"
            wait_for_agent(port)
            assert get(port, REMOTE_IP_PORT) == "2001", "restored from the seeded CONFIG.XML"

            rc, out = snmp("snmpwalk", port, "." + BRANCH, options=())
            assert rc == 0, out
            names = [line.split(" = ", 1)[0].lstrip(".") for line in out.splitlines()
                     if " = " in line]
            assert len(names) == WALKED, f"{len(names)} instances walked"
            assert names[0] == BRANCH + ".1.1.1.0" and names[-1] == BRANCH + ".1.2.21.0", names
            assert get(port, MAX_CHANGEABLE) == "500", "a walk leaves compatibility mode off"

            get(port, SWITCH)
            assert get(port, MAX_CHANGEABLE) == "25", "a get of the switch turns it on"

            rc, out = snmp("snmpset", port, REMOTE_IP_PORT, "i", "2002", STORED, "i", "7")
            assert rc == 0, out
            restart(controller, port, 2)
            assert get(port, REMOTE_IP_PORT) == "2002", "a plain restart keeps the journal"
            assert get(port, MAX_CHANGEABLE) == "25", "compatibility mode is kept"
            assert get(port, STORED) == "0", "storage rows start again at 0"
            # Stopped for a look at its files, then started again on the same board.
            controller.kill(signal.SIGTERM)
            assert BITMAP in files(flashdump, board), "a plain restart keeps the bitmaps"
            controller = Controller(exe, board, "--port-offset", str(offset))
            assert controller.read_until("Launching Thread(s)", 60), "no launch"
            wait_for_agent(port)

            restart(controller, port, 1)
            assert get(port, REMOTE_IP_PORT) == FACTORY_REMOTE_IP_PORT, \
                "no journal and no CONFIG.XML: the factory value"
            assert get(port, MAX_CHANGEABLE) == "500", "compatibility mode is off again"
        finally:
            controller.kill(signal.SIGTERM)
        assert BITMAP not in files(flashdump, board), "the bitmaps are gone"
    print("ledstar: a walk leaves compatibility off, a get of the switch turns it on; "
          "restart requests 2 and 1 restart plainly and to the factory state, without bitmaps")
    return 0


if __name__ == "__main__":
    sys.exit(main())
