#!/usr/bin/python3
"""PMPP on the serial control port of dmsc, driven over its pseudo-terminal by the independent
peer tools/pmpp_peer.py (framing from RFC 1662, SNMP from pysnmp): addressing by station, all
stations and group with the poll, escapes in both directions, a bad FCS, octets outside frames,
the inter-character time-out, and a UDP GET in 0x21 frames answered to the peer's address and
port with its checksums right."""
import os
import shutil
import socket
import sys
import tempfile
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "tools"))
import pmpp_peer as peer  # noqa: E402
from dmsc_process import Controller  # noqa: E402

SYS_DESCR = "1.3.6.1.2.1.1.1.0"
SYS_CONTACT = "1.3.6.1.2.1.1.4.0"
SYS_UPTIME = "1.3.6.1.2.1.1.3.0"
GROUP_ADDRESS_1 = "1.3.6.1.4.1.1206.4.1.2.3.2.1.3.1"
COMMUNITY = "quartermaster"
failures = []


def check(condition, what):
    print(("ok   " if condition else "FAIL ") + what)
    if not condition:
        failures.append(what)


def free_offset():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return 20000 + s.getsockname()[1] % 20000


def exchange(port, frame_bytes, count=1, timeout=3.0):
    port.send(frame_bytes)
    return port.frames(count, timeout)


def snmp_body(content):
    """The SNMP message of a reply frame to station 1 (05 13 C1 ...), else None."""
    if content is None or len(content) < 3 or content[:3] != bytes([0x05, 0x13, 0xC1]):
        return None
    return content[3:]


def main():
    exe = sys.argv[1]
    board = tempfile.mkdtemp(prefix="dms-pmpp-e2e-")
    ctl = Controller(exe, board, "--port-offset", str(free_offset()), "--uart-unpaced")
    try:
        if ctl.read_until("Launching Thread(s)", timeout=30) is None:
            print("FAIL: no start-up")
            return 1
        with open(os.path.join(board, "uart0.pty")) as f:
            port = peer.Port(f.read().strip())
        get = peer.snmp_message("get", SYS_DESCR, community=COMMUNITY, request_id=11)

        # Station 1 answers its own frame at once.
        frames = exchange(port, peer.info_frame(1, peer.SNMP, get))
        body = snmp_body(frames[0]) if frames else None
        check(body is not None, "frame to station 1 answered with 05 13 C1")
        if body is not None:
            request_id, error, bindings = peer.snmp_response(body)
            check(request_id == 11 and error == 0 and bindings[0][0] == SYS_DESCR,
                  "the response is sysDescr's")

        # Not for station 2, nor a frame with a bad FCS.
        check(not exchange(port, peer.info_frame(2, peer.SNMP, get), timeout=1.0),
              "frame to station 2 ignored")
        bad = bytearray(peer.info_frame(1, peer.SNMP, get))
        bad[-2] ^= 0x01
        check(not exchange(port, bytes(bad), timeout=1.0), "frame with a bad FCS ignored")

        # Octets before the first flag are outside frames; 7E 7E opens the frame at the second.
        frames = exchange(port, b"\x01\x02\x7e" + peer.info_frame(1, peer.SNMP, get))
        check(len(frames) == 1 and snmp_body(frames[0]) is not None,
              "junk, then 7E 7E: the frame is answered")

        # A frame left open longer than the inter-character time-out (one second) is dropped.
        whole = peer.info_frame(1, peer.SNMP, get)
        port.send(whole[:8])
        time.sleep(1.6)
        check(not exchange(port, whole[8:], timeout=1.0), "a frame cut by the time-out is dropped")

        # All stations: the reply waits for the poll; a second poll gets the empty frame.
        check(not exchange(port, peer.info_frame(63, peer.SNMP, get), timeout=1.0),
              "all-stations request kept")
        frames = exchange(port, peer.poll_frame(1))
        check(bool(frames) and snmp_body(frames[0]) is not None, "the poll gets the response")
        frames = exchange(port, peer.poll_frame(1))
        check(frames == [bytes([0x05, 0x13])], "a second poll gets the empty frame")

        # A group address set over PMPP, then a group request answered at the poll.
        set_group = peer.snmp_message("set", GROUP_ADDRESS_1, 9, community=COMMUNITY)
        frames = exchange(port, peer.info_frame(1, peer.SNMP, set_group))
        check(bool(frames) and snmp_body(frames[0]) is not None and
              peer.snmp_response(snmp_body(frames[0]))[1] == 0, "group address 9 set")
        check(not exchange(port, peer.info_frame(9, peer.SNMP, get, group=True), timeout=1.0),
              "group request kept")
        frames = exchange(port, peer.poll_frame(1))
        check(bool(frames) and snmp_body(frames[0]) is not None, "group reply at the poll")
        check(not exchange(port, peer.info_frame(10, peer.SNMP, get, group=True), timeout=1.0)
              and exchange(port, peer.poll_frame(1)) == [bytes([0x05, 0x13])],
              "another group is not ours")

        # Flags and escapes inside a value go out escaped and come back whole.
        value = b"~}sign~~}}"
        frames = exchange(port, peer.info_frame(
            1, peer.SNMP, peer.snmp_message("set", SYS_CONTACT, value, community=COMMUNITY)))
        check(bool(frames) and snmp_body(frames[0]) is not None and
              peer.snmp_response(snmp_body(frames[0]))[1] == 0, "SET of 7E and 7D octets")
        port.send(peer.info_frame(1, peer.SNMP,
                                  peer.snmp_message("get", SYS_CONTACT, community=COMMUNITY)))
        time.sleep(0.5)
        raw = port.pending + os.read(port.fd, 4096)
        port.pending = b""
        frames, _ = peer.unframe(raw)
        check(b"\x7d\x5e\x7d\x5d" in raw and raw.count(b"\x7e") == 2,
              "the value's octets were escaped on the wire")
        check(bool(frames) and snmp_body(frames[0]) is not None and
              peer.snmp_response(snmp_body(frames[0]))[2][0][1] == value, "GET reads it back")

        # A UDP GET in 0x21 frames once the IP instance is up (after the network start-up).
        own, controller = peer.dotted("10.0.9.9"), peer.dotted("10.0.2.15")
        udp_get = peer.snmp_message("get", SYS_UPTIME, community=COMMUNITY, request_id=21)
        parsed = None
        deadline = time.monotonic() + 30
        while parsed is None and time.monotonic() < deadline:
            packet = peer.udp_packet(own, 40161, controller, 161, udp_get)
            frames = exchange(port, peer.info_frame(1, peer.IP, packet), timeout=1.0)
            for content in frames:
                if content is not None and content[:3] == bytes([0x05, 0x13, 0x21]):
                    parsed = peer.parse_udp(content[3:])
        check(parsed is not None, "UDP GET over IP in PMPP answered, checksums right")
        if parsed is not None:
            source, sport, destination, dport, payload = parsed
            check(destination == own and dport == 40161 and source == controller and
                  sport == 161, "answered to the peer's address and port")
            check(peer.snmp_response(payload)[0] == 21, "the UDP response is the request's")
        port.close()
    finally:
        ctl.kill()
        shutil.rmtree(board, ignore_errors=True)
    print("FAILED:", failures if failures else "none")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
