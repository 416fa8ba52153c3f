#!/usr/bin/env python3
"""The telnet console end to end: the Debian telnet client, driven by pexpect, logs in to a
running controller, runs "vms" commands and watches debug text arrive."""

import argparse
import os
import random
import shutil
import signal
import socket
import subprocess
import sys
import tempfile
import time

import pexpect

TIMEOUT = 15


def free_port():
    """A free port for the console whose offset from 23 the controller accepts (at most 60000;
    the kernel's ephemeral ports go higher)."""
    rng = random.SystemRandom()
    for _ in range(200):
        port = rng.randrange(20023, 50023)
        with socket.socket() as s:
            try:
                s.bind(("127.0.0.1", port))
            except OSError:
                continue
            return port
    raise RuntimeError("no free port for the console")


def wait_for_listener(port, process, seconds=30):
    deadline = time.monotonic() + seconds
    while time.monotonic() < deadline:
        if process.poll() is not None:
            raise RuntimeError("the controller ended early")
        try:
            with socket.create_connection(("127.0.0.1", port), timeout=1):
                return
        except OSError:
            time.sleep(0.1)
    raise RuntimeError("the telnet console never listened on port %d" % port)


def check_peripherals(session):
    """vms -d peripheral against the peripheral task: the list, then CONFIG FILE (0x12D)."""
    session.send("vms -d peripheral\r")
    session.expect("peripherals:")
    session.expect(r"-DIRECTORY FILE\(0x012C\) state=VALID")
    session.expect(r"-CONFIG FILE\(0x012D\) state=VALID")
    session.expect(r"vms -d peripheral stat X     \(X=id\)")
    session.expect("VMS>")
    for command, answer in [
            ("vms -d peripheral freq 12D 14", "CONFIG FILE old:600, new:20"),
            ("vms -d peripheral disable 12D", "Disabled:CONFIG FILE"),
            ("vms -d peripheral stat 12D", "CONFIG FILE is currently VALID"),
            ("vms -d peripheral enable 12D", "Enabled:CONFIG FILE"),
            ("vms -d peripheral freq 12D 258", "CONFIG FILE old:20, new:600"),
            ("vms -d spi", "reset spi")]:
        session.send(command + "\r")
        session.expect_exact(answer)
        session.expect("VMS>")
    session.send("vms -s\r")
    session.expect(r"-dyn db usage:0x[0-9A-F]{4,} of 0x200000")
    session.expect(r"-Q2 CAN\tRX:\d+\tTX:\d+\tErr:\d+")
    session.expect("VMS>")


def check_network(session):
    """vms -d ethernet against the controller's own stack: this very session is a TCP connection
    of it, and its packet pools are listed."""
    for command, answers in [
            ("vms -d ethernet tcp", [r" connections:[1-9]\d*", r" bytes sent:[1-9]\d*",
                                     r" bytes received:[1-9]\d*"]),
            ("vms -d ethernet udp", [r" datagrams sent:\d+", r" datagrams dropped:\d+"]),
            ("vms -d ethernet icmp", [r" echo answered:yes"]),
            ("vms -d ethernet pool", [r" NetX total:[1-9]\d* free:\d+",
                                      r" enet packet pool total:[1-9]\d* free:\d+"])]:
        session.send(command + "\r")
        for answer in answers:
            session.expect(answer)
        session.expect("VMS>")


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--host", required=True, help="controller executable")
    parser.add_argument("--telnet", default="telnet")
    parser.add_argument("--console-option", default="--console",
                        help="controller option that switches the telnet console on")
    parser.add_argument("--debug-text", default=r"alive \d+",
                        help="debug text (regex) some thread prints at trace level 1; '' skips")
    parser.add_argument("--flashdump", default="",
                        help="with the flashdump tool: the console is switched on by a CONFIG.XML "
                             "seeded into the new board's flash (brenFeatureSet 0x1C: the factory "
                             "0x14 and the telnet bit 0x08), restored at the first start")
    parser.add_argument("--display-task", action="store_true",
                        help="the controller runs the display task: its stack report shows")
    parser.add_argument("--peripherals", action="store_true",
                        help="the controller runs the peripheral task with its file peripherals")
    parser.add_argument("--network", action="store_true",
                        help="the controller shows its network stack's figures")
    args = parser.parse_args()

    board = tempfile.mkdtemp(prefix="dms-e2e-telnet-")
    if args.flashdump:
        config = os.path.join(board, "seed-config.xml")
        with open(config, "w") as f:
            f.write("<!-- CONFIG.XML Q2 V2.0 -->\nbrenFeatureSet[0000]:XXXX,1C\n")
        subprocess.run([args.flashdump, board, "add", "CONFIG.XML", config, "p"], check=True)
    port = free_port()
    offset = port - 23
    log = open(os.path.join(board, "controller.log"), "wb")
    controller = subprocess.Popen(
        [args.host, "--board-dir", board, "--port-offset", str(offset)] +
        ([args.console_option] if args.console_option else []),
        stdout=log, stderr=subprocess.STDOUT)
    ok = False
    try:
        wait_for_listener(port, controller)
        # The probe connection above has come and gone; now the real client.
        session = pexpect.spawn(args.telnet, ["127.0.0.1", str(port)], timeout=TIMEOUT,
                                encoding="latin-1")
        session.logfile_read = sys.stdout
        session.expect("Password: ")

        session.send("wrong\r")
        session.expect(r"\*\*\*\*\*")
        session.expect("FAILURE")
        session.expect("Password: ")

        session.send("quartermaster\r")
        session.expect("SUCCESS")
        session.expect("VMS>")

        session.send("vms -t 1\r")
        session.expect("new level:1")
        session.expect("VMS>")
        # Level-1 debug text of another thread now reaches the console.
        if args.debug_text:
            session.expect(args.debug_text)

        session.send("vms -s\r")
        session.expect(r"-Uptime\(y/d/h/m/s\) = \d+/\d+/\d\d/\d\d/\d\d")
        session.expect(r"-Display:\d+, Peripheral:\d+, Schedule:\d+, Comm:\d+")
        session.expect(r"-Interrupts RX:\d+, Ether:\d+")
        session.expect(r"-LTP CAN\tRX:\d+\tTX:\d+\tErr:\d+")
        session.expect("VMS>")

        session.send("vms -d thread stack display\r")
        session.expect("VMS>")
        if args.display_task:
            session.expect(r"Display Stack Used: \d+/\d+")
        session.send("vms -d thread stack monitor\r")
        session.expect(r"Monitor Stack Used: \d+/\d+")

        if args.peripherals:
            check_peripherals(session)
        if args.network:
            check_network(session)

        session.send("vms -d thread resume display\r")
        session.expect(r"vms -d thread stack X    \(X=name\)")
        session.expect("VMS>")

        # Line editor: a recalled line runs again.
        session.send("vms -t 0\r")
        session.expect("new level:0")
        session.send("\x1b[A\r")
        session.expect("new level:0")
        session.expect("VMS>")

        session.sendcontrol("]")
        session.expect("telnet>")
        session.sendline("quit")
        session.expect(pexpect.EOF)
        ok = True
    finally:
        controller.send_signal(signal.SIGTERM)
        try:
            controller.wait(timeout=10)
        except subprocess.TimeoutExpired:
            controller.kill()
            controller.wait()
        log.close()
        if not ok:
            with open(os.path.join(board, "controller.log"), "rb") as f:
                sys.stdout.write("\n--- controller output ---\n")
                sys.stdout.write(f.read().decode("latin-1")[-4000:])
        shutil.rmtree(board, ignore_errors=True)
    print("\ntelnet console e2e: %s" % ("passed" if ok else "FAILED"))
    return 0 if ok and controller.returncode == 0 else 1


if __name__ == "__main__":
    sys.exit(main())
