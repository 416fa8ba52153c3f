#!/usr/bin/env python3
"""A walk of MIB-II on a running dmsc answers exactly the served instances of the row table, in
order and with their types; the RS-232 speed keeps only what the port supports, and the small
agency branches answer their start values."""

import os
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.dirname(__file__))
from dmsc_process import Controller, net_snmp  # noqa: E402

MIB2 = "1.3.6.1.2.1"
ROWS = os.path.join(os.path.dirname(__file__), "..", "..", "ntcip", "mib", "mib_rows.tsv")
# Instances served by the tables (column prefix under MIB-II -> instance count); a column not
# listed answers no instance (address translation, ipNetToMedia, dot3Coll, LAPB oper 4 and 5).
INSTANCES = {"2.2.1": 1, "4.20.1": 1, "4.21.1": 1, "10.7.2.1": 1, "10.16.1.1": 5,
             "10.16.2.1.1": 5, "10.16.2.1.13": 5, "10.33.2.1": 5, "10.33.3.1": 5}
TYPES = {4: "OID", 5: "STRING", 6: "INTEGER", 7: "IpAddress", 8: "IpAddress", 9: "Counter32",
         10: "Gauge32", 11: "Timeticks"}


def expected_walk():
    rows = []
    with open(ROWS) as f:
        for line in f:
            fields = line.rstrip("\n").split("\t")
            if fields[0] != "row" or fields[1] != "cls b":
                continue
            oid, kind = fields[2], TYPES[int(fields[4])]
            if oid.endswith(".0"):
                rows.append((oid, kind))
                continue
            column = oid[len(MIB2) + 1:].rsplit(".", 1)[0]
            count = next((n for prefix, n in INSTANCES.items()
                          if column == prefix or column.startswith(prefix + ".")), 0)
            rows += [(f"{oid.rsplit('.', 1)[0]}.{i}", kind) for i in range(1, count + 1)]
    return sorted(rows, key=lambda r: [int(x) for x in r[0].split(".")])


def snmp(tool, port, *args, options=("-Oqv",)):
    return net_snmp(tool, port, *args, options=options, timeout=120)


def walked(text):
    out = []
    for line in text.splitlines():
        if " = " not in line:
            continue
        oid, value = line.split(" = ", 1)
        kind = value.split(":", 1)[0] if ":" in value and not value.startswith('"') else "STRING"
        out.append((oid.lstrip("."), "STRING" if kind == "Hex-STRING" else kind))
    return out


def main():
    exe = sys.argv[1]
    offset = 20000 + (os.getpid() * 17) % 20000
    port = offset + 161
    with tempfile.TemporaryDirectory(prefix="dms_mib2_") as board:
        controller = Controller(exe, board, "--port-offset", str(offset))
        try:
            assert controller.read_until("Launching Thread(s)", 30), "no launch"
            deadline = time.monotonic() + 40
            while snmp("snmpget", port, MIB2 + ".1.3.0")[0] != 0:
                assert time.monotonic() < deadline, "no SNMP answer"

            rc, out = snmp("snmpwalk", port, "." + MIB2, options=())
            assert rc == 0, out
            got, want = walked(out), expected_walk()
            assert len(want) == 179, len(want)
            assert got == want, "\n".join(
                f"{g} != {w}" for g, w in zip(got + [None] * 9, want + [None] * 9) if g != w)

            speed = f"{MIB2}.10.33.2.1.5.1"
            for value, stored in (("9600", "9600"), ("1200", "9600")):
                rc, out = snmp("snmpset", port, speed, "i", value)
                assert rc == 0 and out == stored, (value, out)
            assert snmp("snmpget", port, f"{MIB2}.10.33.2.1.6.1")[1] == "9600"

            rc, out = snmp("snmpget", port, "1.3.6.1.4.1.1206.3.32.1.7.0",
                           "1.3.6.1.4.1.1206.3.35.4.0", "1.3.6.1.4.1.1206.4.2.5.2.2.1.0")
            assert rc == 0, out
            assert out.split("\n") == ['"00 "', '"00 00 "', "90000001"], out
        finally:
            controller.kill()


if __name__ == "__main__":
    main()
