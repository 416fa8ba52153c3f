#!/usr/bin/env python3
"""GET of sysUpTime.0 per second, side by side: dmsc (through its Ethernet path) and Debian's
snmpd on another loopback port, driven by the same load generator (one UDP socket, a fixed
number of requests in flight, each answer matched by its request id).

    python3 tests/e2e/bench_snmp_get.py build/app/dmsc [--seconds 5] [--in-flight 8]
        [--port-offset N] [--snmpd-port P]
"""

import argparse
import os
import shutil
import socket
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.dirname(__file__))
from dmsc_process import Controller  # noqa: E402
from snmp_ethernet import get_request, response_id, wait_for_agent  # noqa: E402


def load(port, community, seconds, in_flight):
    """Answers per second over the run, and the number of requests lost."""
    with socket.socket(socket.AF_INET, socket.SOCK_DGRAM) as s:
        s.settimeout(1.0)
        requests = {}
        next_id = 1
        for _ in range(in_flight):
            s.sendto(get_request(next_id, community=community), ("127.0.0.1", port))
            requests[next_id] = True
            next_id += 1
        answered = lost = 0
        end = time.monotonic() + seconds
        start = time.monotonic()
        while time.monotonic() < end:
            try:
                data, _ = s.recvfrom(4096)
                rid = response_id(data)
                if requests.pop(rid, None) is None:
                    continue
                answered += 1
            except socket.timeout:
                lost += len(requests)
                requests.clear()
            while len(requests) < in_flight:
                s.sendto(get_request(next_id, community=community), ("127.0.0.1", port))
                requests[next_id] = True
                next_id += 1
        return answered / (time.monotonic() - start), lost


def start_snmpd(port, community, workdir):
    conf = os.path.join(workdir, "snmpd.conf")
    with open(conf, "w") as f:
        f.write(f"agentAddress udp:127.0.0.1:{port}\nrocommunity {community} 127.0.0.1\n")
    exe = shutil.which("snmpd") or "/usr/sbin/snmpd"
    return subprocess.Popen([exe, "-f", "-Lo", "-C", "-c", conf, "-p",
                             os.path.join(workdir, "snmpd.pid")],
                            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("dmsc")
    parser.add_argument("--seconds", type=float, default=5)
    parser.add_argument("--in-flight", type=int, default=8)
    parser.add_argument("--port-offset", type=int, default=20000 + (os.getpid() * 11) % 20000)
    parser.add_argument("--snmpd-port", type=int, default=0, help="default: offset + 1161")
    args = parser.parse_args()
    offset = args.port_offset
    dmsc_port = offset + 161
    snmpd_port = args.snmpd_port or offset + 1161
    community = "quartermaster"
    with tempfile.TemporaryDirectory(prefix="dms_bench_") as work:
        board = os.path.join(work, "board")
        os.mkdir(board)
        controller = Controller(args.dmsc, board, "--port-offset", str(offset))
        snmpd = start_snmpd(snmpd_port, community, work)
        try:
            assert wait_for_agent(dmsc_port, time.monotonic() + 40), "dmsc does not answer"
            time.sleep(1)
            results = {}
            for name, port in (("dmsc", dmsc_port), ("snmpd", snmpd_port)):
                results[name] = load(port, community, args.seconds, args.in_flight)
            for name, (rate, lost) in results.items():
                print(f"{name:6s} {rate:9.0f} GET/s  ({lost} lost, {args.in_flight} in flight)")
            if results["snmpd"][0] > 0:
                print(f"dmsc / snmpd = {results['dmsc'][0] / results['snmpd'][0]:.2f}")
        finally:
            controller.kill()
            snmpd.terminate()
            snmpd.wait()
    return 0


if __name__ == "__main__":
    sys.exit(main())
