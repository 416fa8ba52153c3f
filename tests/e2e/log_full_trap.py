#!/usr/bin/env python3
"""The log-full trap encoded by the trap host is accepted by net-snmp's snmptrapd on a
loopback port, which logs enterprise .1.3.6.1.4.47, generic 6, specific 17, sysLocation.0
as a STRING and globalTime as a Counter32."""
import argparse
import re
import socket
import subprocess
import sys
import time


def free_udp_port():
    with socket.socket(socket.AF_INET, socket.SOCK_DGRAM) as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--host", required=True)
    parser.add_argument("--snmptrapd", required=True)
    args = parser.parse_args()

    message = bytes.fromhex(subprocess.run([args.host], check=True, capture_output=True,
                                           text=True, timeout=30).stdout.strip())
    port = free_udp_port()
    trapd = subprocess.Popen(
        [args.snmptrapd, "-f", "-Lo", "-C", "-m", "", "-On", "--disableAuthorization=yes",
         "-F", "enterprise=%N generic=%w specific=%q %V| %v\n", f"udp:127.0.0.1:{port}"],
        stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True)
    try:
        time.sleep(1.0)
        with socket.socket(socket.AF_INET, socket.SOCK_DGRAM) as s:
            for _ in range(3):  # in case the daemon was not listening yet
                s.sendto(message, ("127.0.0.1", port))
                time.sleep(0.5)
        time.sleep(0.5)
    finally:
        trapd.terminate()
        output, _ = trapd.communicate(timeout=10)
    print(output)
    expected = [r"enterprise=\.1\.3\.6\.1\.4\.47 ", r"generic=6 ", r"specific=\.?17 ",
                r'\.1\.3\.6\.1\.2\.1\.1\.6\.0 = STRING: "I-95 NB MM 12"',
                r"\.1\.3\.6\.1\.4\.1\.1206\.4\.2\.6\.3\.1\.0 = Counter32: 1234567"]
    missing = [e for e in expected if not re.search(e, output)]
    if missing:
        print("missing from the snmptrapd log:", missing, file=sys.stderr)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
