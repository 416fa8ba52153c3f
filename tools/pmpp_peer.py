#!/usr/bin/python3
"""A PMPP peer for the controller's serial control port, written from RFC 1662's framing:
flags 0x7E, escapes 0x7D (octet XOR 0x20), the FCS-16 ("x-25": complemented, low octet first).
SNMP messages are built and read with pysnmp; IP packets (UDP) are built and checked here.

    pmpp_peer.py --pty /dev/pts/N get 1.3.6.1.2.1.1.1.0
    pmpp_peer.py --pty /dev/pts/N --address 63 --poll get 1.3.6.1.2.1.1.5.0
    pmpp_peer.py --pty /dev/pts/N set 1.3.6.1.2.1.1.5.0 'sign ~}'
    pmpp_peer.py --pty /dev/pts/N --ip get 1.3.6.1.2.1.1.3.0
"""

import argparse
import os
import select
import struct
import sys
import termios
import time
import tty

import crcmod.predefined
from pyasn1.codec.ber import decoder, encoder
from pysnmp.proto import api

FLAG, ESCAPE = 0x7E, 0x7D
SNMP, IP = 0xC1, 0x21
fcs16 = crcmod.predefined.mkCrcFun("x-25")  # already complemented


def address_field(address, group=False):
    """One octet below 64 (bit 0 set), else two (bit 0 set on the second)."""
    g = 2 if group else 0
    if address < 64:
        return bytes([(address << 2) | g | 1])
    return bytes([((address << 2) & 0xFF) | g, ((address >> 6) << 1) | 1])


def escape(data):
    out = bytearray()
    for octet in data:
        if octet in (FLAG, ESCAPE):
            out += bytes([ESCAPE, octet ^ 0x20])
        else:
            out.append(octet)
    return bytes(out)


def frame(content):
    """Content (address field onwards) framed: flag, content and FCS escaped, flag."""
    return bytes([FLAG]) + escape(content + struct.pack("<H", fcs16(content))) + bytes([FLAG])


def info_frame(address, protocol, payload, control=0x13, group=False):
    return frame(address_field(address, group) + bytes([control, protocol]) + payload)


def poll_frame(address):
    return frame(address_field(address) + bytes([0x33, 0xE7]))


def unframe(stream):
    """(frames, rest): each frame's content with escapes undone, FCS checked and removed (None
    for a bad FCS); rest is what follows the last closing flag."""
    frames = []
    start = None
    i = 0
    last_end = 0
    while i < len(stream):
        if stream[i] == FLAG:
            if start is not None and i > start + 1:
                raw = stream[start + 1:i]
                data = bytearray()
                j = 0
                while j < len(raw):
                    if raw[j] == ESCAPE and j + 1 < len(raw):
                        data.append(raw[j + 1] ^ 0x20)
                        j += 2
                    else:
                        data.append(raw[j])
                        j += 1
                good = len(data) >= 2 and fcs16(bytes(data[:-2])) == struct.unpack(
                    "<H", bytes(data[-2:]))[0]
                frames.append(bytes(data[:-2]) if good else None)
                start = None
                last_end = i + 1
            else:
                start = i
        i += 1
    return frames, stream[last_end:] if start is None else stream[start:]


# SNMP with pysnmp.

def snmp_message(kind, oid, value=None, community="administrator", request_id=1):
    mod = api.protoModules[api.protoVersion1]
    pdu = mod.GetRequestPDU() if kind == "get" else mod.SetRequestPDU()
    mod.apiPDU.setDefaults(pdu)
    mod.apiPDU.setRequestID(pdu, request_id)
    if kind == "get":
        mod.apiPDU.setVarBinds(pdu, [(oid, mod.Null(""))])
    elif isinstance(value, int):
        mod.apiPDU.setVarBinds(pdu, [(oid, mod.Integer(value))])
    else:
        octets = value if isinstance(value, bytes) else value.encode("latin-1")
        mod.apiPDU.setVarBinds(pdu, [(oid, mod.OctetString(octets))])
    message = mod.Message()
    mod.apiMessage.setDefaults(message)
    mod.apiMessage.setCommunity(message, community)
    mod.apiMessage.setPDU(message, pdu)
    return encoder.encode(message)


def snmp_response(data):
    """(request id, error status, [(oid text, value bytes or str)])."""
    mod = api.protoModules[api.protoVersion1]
    message, _ = decoder.decode(data, asn1Spec=mod.Message())
    pdu = mod.apiMessage.getPDU(message)
    bindings = []
    for oid, value in mod.apiPDU.getVarBinds(pdu):
        try:
            shown = value.asOctets()
        except AttributeError:
            shown = value.prettyPrint()
        bindings.append((oid.prettyPrint(), shown))
    return (int(mod.apiPDU.getRequestID(pdu)), int(mod.apiPDU.getErrorStatus(pdu)), bindings)


# IPv4 and UDP.

def checksum(data):
    if len(data) % 2:
        data += b"\0"
    total = sum(struct.unpack(f"!{len(data) // 2}H", data))
    while total >> 16:
        total = (total & 0xFFFF) + (total >> 16)
    return total


def dotted(text):
    return bytes(int(part) for part in text.split("."))


def udp_packet(source, source_port, destination, port, payload, ident=1):
    length = 8 + len(payload)
    pseudo = source + destination + struct.pack("!BBH", 0, 17, length)
    udp = struct.pack("!HHHH", source_port, port, length, 0) + payload
    udp_sum = (~checksum(pseudo + udp)) & 0xFFFF or 0xFFFF
    udp = udp[:6] + struct.pack("!H", udp_sum) + udp[8:]
    header = struct.pack("!BBHHHBBH4s4s", 0x45, 0, 20 + length, ident, 0, 64, 17, 0, source,
                         destination)
    header = header[:10] + struct.pack("!H", (~checksum(header)) & 0xFFFF) + header[12:]
    return header + udp


def parse_udp(packet):
    """(source, source port, destination, port, payload) with both checksums verified; None
    otherwise."""
    if len(packet) < 28 or packet[0] != 0x45 or packet[9] != 17:
        return None
    total = struct.unpack("!H", packet[2:4])[0]
    if total != len(packet) or checksum(packet[:20]) != 0xFFFF:
        return None
    source, destination = packet[12:16], packet[16:20]
    sport, dport, length, udp_sum = struct.unpack("!HHHH", packet[20:28])
    if length != total - 20:
        return None
    pseudo = source + destination + struct.pack("!BBH", 0, 17, length)
    if udp_sum != 0 and checksum(pseudo + packet[20:]) != 0xFFFF:
        return None
    return source, sport, destination, dport, packet[28:]


class Port:
    """The pseudo-terminal of the controller's serial control port, raw."""

    def __init__(self, path):
        self.fd = os.open(path, os.O_RDWR | os.O_NOCTTY)
        tty.setraw(self.fd)
        attrs = termios.tcgetattr(self.fd)
        attrs[3] &= ~termios.ECHO
        termios.tcsetattr(self.fd, termios.TCSANOW, attrs)
        self.pending = b""

    def close(self):
        os.close(self.fd)

    def send(self, data):
        view = memoryview(data)
        while view:
            written = os.write(self.fd, view)
            view = view[written:]

    def drain(self, quiet=0.2):
        """Reads until the line has been quiet for a while; forgets it."""
        self.frames(timeout=quiet)

    def frames(self, count=1, timeout=3.0):
        """Up to count frames (contents; None for a bad FCS) within the time-out."""
        got = []
        deadline = time.monotonic() + timeout
        while len(got) < count:
            found, self.pending = unframe(self.pending)
            got += found
            if len(got) >= count:
                break
            left = deadline - time.monotonic()
            if left <= 0:
                break
            ready, _, _ = select.select([self.fd], [], [], left)
            if ready:
                try:
                    self.pending += os.read(self.fd, 4096)
                except OSError:
                    break
        return got


def main():
    parser = argparse.ArgumentParser(description=__doc__,
                                     formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--pty", required=True, help="the controller's uart0.pty path")
    parser.add_argument("--address", type=int, default=1, help="address field (63: all)")
    parser.add_argument("--station", type=int, default=1, help="station polled with --poll")
    parser.add_argument("--group", action="store_true", help="group-addressed frame")
    parser.add_argument("--poll", action="store_true", help="poll the station for the reply")
    parser.add_argument("--community", default="administrator")
    parser.add_argument("--ip", action="store_true", help="SNMP over UDP in 0x21 frames")
    parser.add_argument("--own", default="10.0.9.9", help="this peer's IP address")
    parser.add_argument("--controller", default="10.0.2.15", help="the controller's address")
    parser.add_argument("kind", choices=["get", "set"])
    parser.add_argument("oid")
    parser.add_argument("value", nargs="?")
    args = parser.parse_args()
    message = snmp_message(args.kind, args.oid, args.value, args.community)
    port = Port(args.pty)
    try:
        if args.ip:
            packet = udp_packet(dotted(args.own), 40161, dotted(args.controller), 161, message)
            port.send(info_frame(args.address, IP, packet, group=args.group))
        else:
            port.send(info_frame(args.address, SNMP, message, group=args.group))
        if args.poll:
            time.sleep(0.3)
            port.send(poll_frame(args.station))
        for content in port.frames(timeout=5.0):
            if content is None:
                print("frame with a bad FCS")
                return 1
            body = content[3:] if content[0] & 1 else content[4:]
            if args.ip:
                parsed = parse_udp(body)
                if parsed is None:
                    print("bad IP or UDP packet:", body.hex())
                    return 1
                body = parsed[4]
            if not body:
                print("empty frame")
                return 1
            request_id, error, bindings = snmp_response(body)
            for oid, value in bindings:
                print(f"{oid} = {value!r}" + (f" (error {error})" if error else ""))
            return 0
        print("no reply")
        return 1
    finally:
        port.close()


if __name__ == "__main__":
    sys.exit(main())
