#!/usr/bin/env python3
"""net-snmp's tools reach dmsc's SNMP agent over UDP and TCP through the forwards of 127.0.0.1,
two managers at once each get their own answers, and broken datagrams and streams stall nobody."""

import os
import socket
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.dirname(__file__))
from dmsc_process import Controller  # noqa: E402

ADMIN = "quartermaster"
READ_ONLY = "tamsol"  # a user community with access mask 0
SNMP_PORT = 161
SNMP_TCP_ALTERNATE = 14001
SYS_DESCR = "1.3.6.1.2.1.1.1.0"
SYS_UPTIME = "1.3.6.1.2.1.1.3.0"
SYS_CONTACT = "1.3.6.1.2.1.1.4.0"
SNMP_IN_PKTS = "1.3.6.1.2.1.11.1.0"


def tool(name, target, community, *args, version="2c", timeout=3):
    cmd = [name, "-v", version, "-c", community, "-t", str(timeout), "-r", "1", "-On", target,
           *args]
    done = subprocess.run(cmd, capture_output=True, text=True, timeout=60)
    return done.returncode, done.stdout + done.stderr


# A small BER encoder for hand-made requests.
def tlv(tag, value):
    n = len(value)
    if n < 0x80:
        return bytes([tag, n]) + value
    octets = n.to_bytes((n.bit_length() + 7) // 8, "big")
    return bytes([tag, 0x80 | len(octets)]) + octets + value


def integer(v):
    return tlv(0x02, v.to_bytes(4, "big", signed=True))


def oid(text):
    parts = [int(p) for p in text.split(".")]
    out = bytearray([40 * parts[0] + parts[1]])
    for p in parts[2:]:
        chunk = [p & 0x7F]
        p >>= 7
        while p:
            chunk.append(0x80 | (p & 0x7F))
            p >>= 7
        out += bytes(reversed(chunk))
    return tlv(0x06, bytes(out))


def get_request(request_id, name=SYS_UPTIME, community=ADMIN):
    varbind = tlv(0x30, oid(name) + b"\x05\x00")
    pdu = tlv(0xA0, integer(request_id) + integer(0) + integer(0) + tlv(0x30, varbind))
    return tlv(0x30, integer(1) + tlv(0x04, community.encode()) + pdu)


def response_id(message):
    """The request id of a response (message, version, community, then the PDU's first field)."""
    at = 2 if message[1] < 0x80 else 2 + (message[1] & 0x7F)
    for _ in range(2):  # version, community
        at += 2 + message[at + 1]
    at += 2 if message[at + 1] < 0x80 else 2 + (message[at + 1] & 0x7F)
    length = message[at + 1]
    return int.from_bytes(message[at + 2 : at + 2 + length], "big", signed=True)


def wait_for_agent(port, deadline):
    while time.monotonic() < deadline:
        rc, out = tool("snmpget", f"udp:127.0.0.1:{port}", ADMIN, SYS_DESCR, timeout=1)
        if rc == 0:
            return out
    return None


def check_tools(udp, tcp):
    for target in (udp, tcp):
        for version in ("1", "2c"):
            rc, out = tool("snmpget", target, ADMIN, SYS_DESCR, SYS_UPTIME, SNMP_IN_PKTS,
                           version=version)
            assert rc == 0 and "Field Controller" in out and "Timeticks" in out, out
        rc, out = tool("snmpgetnext", target, ADMIN, "1.3.6.1.2.1.1", "1.3.6.1.2.1.11.1")
        assert rc == 0, out
        assert f".{SYS_DESCR} = STRING" in out and ".1.3.6.1.2.1.11.1.0 = " in out, out
        rc, out = tool("snmpset", target, ADMIN, SYS_CONTACT, "s", "field crew")
        assert rc == 0 and "field crew" in out, out
        rc, out = tool("snmpset", target, READ_ONLY, SYS_CONTACT, "s", "someone")
        assert rc != 0 and "Error in packet" in out, f"read-only set: {out}"
        rc, out = tool("snmpget", target, ADMIN, SYS_CONTACT)
        assert rc == 0 and "field crew" in out, f"read-only set changed the value: {out}"
        rc, out = tool("snmpwalk", target, ADMIN, "1.3.6.1.2.1.1")
        lines = [line for line in out.splitlines() if line.startswith(".1.3.6.1.2.1.1.")]
        assert rc == 0 and len(lines) >= 7 and "field crew" in out, out
    print("snmp: get, get-next, set and walk over UDP and TCP")


def check_two_managers(port):
    """Two managers interleave requests; each answer reaches the manager that asked."""
    a = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
    b = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
    try:
        for s in (a, b):
            s.settimeout(5)
        for burst in range(10):
            sent = {a: [], b: []}
            for i in range(4):
                s, rid = (a, 1000 + 10 * burst + i) if i % 2 == 0 else (b, 5000 + 10 * burst + i)
                s.sendto(get_request(rid), ("127.0.0.1", port))
                sent[s].append(rid)
            for s in (a, b):
                got = sorted(response_id(s.recvfrom(4096)[0]) for _ in sent[s])
                assert got == sent[s], f"answers crossed: {got} against {sent[s]}"
    finally:
        a.close()
        b.close()
    print("snmp: two managers, each its own answers")


def ask_udp(port, payloads, request_id):
    with socket.socket(socket.AF_INET, socket.SOCK_DGRAM) as s:
        s.settimeout(5)
        for payload in payloads:
            s.sendto(payload, ("127.0.0.1", port))
        s.sendto(get_request(request_id), ("127.0.0.1", port))
        data, _ = s.recvfrom(4096)
        return response_id(data)


def ask_tcp(port, request_id):
    with socket.create_connection(("127.0.0.1", port), timeout=10) as s:
        s.sendall(get_request(request_id))
        return response_id(s.recv(4096))


def check_bad_input(udp_port, tcp_port, alternate_port):
    broken = [
        b"\x30\x84\x7f\xff\xff\xff",  # a length far beyond any message
        b"\x30\x82\x07",  # half a length
        b"\x30\x81",  # no length at all
        os.urandom(300),
        b"\x30\x10" + b"\x00" * 16,  # well delimited, not SNMP
        b"\x30",
    ]
    assert ask_udp(udp_port, broken, 77) == 77
    # A stream with an impossible length is closed; the next connection is served.
    with socket.create_connection(("127.0.0.1", tcp_port), timeout=10) as s:
        s.sendall(b"\x30\x84\x80\x00\x00\x00")
        assert s.recv(16) == b"", "a stream of length 2^31 stays open"
    assert ask_tcp(tcp_port, 78) == 78
    # A connection that sends nothing holds its port, not the agent.
    silent = socket.create_connection(("127.0.0.1", tcp_port), timeout=10)
    try:
        silent.sendall(b"\x30\x82")
        assert ask_udp(udp_port, [], 79) == 79
        assert ask_tcp(alternate_port, 80) == 80
    finally:
        silent.close()
    assert ask_tcp(tcp_port, 81) == 81
    print("snmp: broken datagrams and streams stall no other manager")


def main():
    exe = sys.argv[1]
    offset = 20000 + (os.getpid() * 7) % 20000
    udp_port = offset + SNMP_PORT
    with tempfile.TemporaryDirectory(prefix="dms_snmp_") as board:
        controller = Controller(exe, board, "--port-offset", str(offset))
        try:
            assert wait_for_agent(udp_port, time.monotonic() + 40), "no SNMP answer over UDP"
            check_tools(f"udp:127.0.0.1:{udp_port}", f"tcp:127.0.0.1:{udp_port}")
            check_two_managers(udp_port)
            check_bad_input(udp_port, udp_port, offset + SNMP_TCP_ALTERNATE)
        finally:
            controller.kill()
    return 0


if __name__ == "__main__":
    sys.exit(main())
