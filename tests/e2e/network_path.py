#!/usr/bin/env python3
"""dmsc's Ethernet port on slirp's wire: a UDP datagram and a TCP connection from the host reach
the controller's echo service through the forwards of 127.0.0.1 (port + offset), and the answers
(sent to the host alias) arrive at the host's sockets on 127.0.0.1."""

import os
import signal
import socket
import sys
import tempfile
import time

sys.path.insert(0, os.path.dirname(__file__))
from dmsc_process import Controller  # noqa: E402

ECHO_PORT = 7


def udp_echo(port, payload, deadline):
    with socket.socket(socket.AF_INET, socket.SOCK_DGRAM) as s:
        s.settimeout(0.5)
        while time.monotonic() < deadline:
            s.sendto(payload, ("127.0.0.1", port))
            try:
                data, peer = s.recvfrom(2048)
                return data, peer
            except socket.timeout:
                continue
    return None, None


def main():
    exe = sys.argv[1]
    offset = 20000 + os.getpid() % 20000
    with tempfile.TemporaryDirectory(prefix="dms_net_") as board:
        controller = Controller(exe, board, "--port-offset", str(offset))
        try:
            # The network comes up with the communication task's first cycle.
            data, peer = udp_echo(offset + ECHO_PORT, b"datagram 1", time.monotonic() + 40)
            assert data == b"datagram 1", f"no UDP echo: {data!r}"
            assert peer == ("127.0.0.1", offset + ECHO_PORT), peer
            for size in (1, 512, 1400):
                payload = bytes(range(256)) * (size // 256) + b"x" * (size % 256)
                data, _ = udp_echo(offset + ECHO_PORT, payload, time.monotonic() + 5)
                assert data == payload, f"UDP echo of {size} bytes: {data!r:.40}"

            with socket.create_connection(("127.0.0.1", offset + ECHO_PORT), timeout=5) as c:
                c.settimeout(5)
                sent = b"stream " * 2000
                c.sendall(sent)
                got = b""
                while len(got) < len(sent):
                    chunk = c.recv(65536)
                    assert chunk, "TCP connection closed early"
                    got += chunk
                assert got == sent, "TCP echo differs"
            print("network path: UDP and TCP echo through the forwards")
        finally:
            status = controller.kill(signal.SIGTERM)
        assert status == 0, f"dmsc exit status {status}"


if __name__ == "__main__":
    main()
