#!/usr/bin/env python3
"""Soak and power-loss test of dmsc under SNMP load.

Several managers set random non-volatile objects (taken from the agent's row table and kept when
a calibration run shows that they persist), with gets and get-nexts in between, and log every set
whose response came back with noError. The controller is killed with SIGKILL at random moments,
including during start-up, the journal is checked offline after each cut, the controller is started
again on the same board directory, and every acknowledged write must read back with its last
acknowledged value (or with the value of a later write whose response never came). A flood phase
then sends the fastest load the tool can make, with malformed datagrams mixed in, and watches that
the controller keeps answering and that its memory stays flat.

    soak.py --dmsc build/app/dmsc --flashdump build/tools/flashdump/flashdump \
            --rows ntcip/mib/mib_rows.tsv --cuts 20 --flood 30
"""

import argparse
import os
import random
import re
import shutil
import signal
import socket
import subprocess
import sys
import tempfile
import threading
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import messages  # noqa: E402
import snmp_ber as ber  # noqa: E402

ADMIN = "quartermaster"
SNMP_PORT = 161
SYS_UPTIME = "1.3.6.1.2.1.1.3.0"
# Starts that did not run 30 s in a row, kept in the battery-backed registers (nvram.bin: the
# registers from offset 8, the counter in the low half of register 0xB). At 8 the next start
# discards the journal by design, so the tool lets the controller run until it clears the counter
# before that can happen.
BOOT_COUNTER_OFFSET = 8 + 0xB
MAX_UNCLEARED_STARTS = 4

PROBE_ROW = 499  # changeable message used to measure the sign's limits, never tracked
ROWS_PER_MANAGER = 3


def message_rows(args):
    """The changeable messages the managers edit, ROWS_PER_MANAGER each."""
    return list(range(20, 20 + ROWS_PER_MANAGER * args.managers))

# Objects whose sets restart, reconfigure or lock out the manager, start tests or transfers, or
# change the meaning of other objects, or that the controller itself rewrites (the time remaining
# of the message on display): left alone.
EXCLUDE = re.compile(
    r"Reset|Command|Activat|Trigger|MemoryMgmt|Community|community|IPAddress|IPPort|HttpPort|"
    r"EthernetMode|NTP|hdlcAddress|Password|FileTransfer|RemoteText|globalTime|TestMode|ListEdit|"
    r"Status$|StoreSplit|SpecialFeature|BaudRate|CommConfig|ControlMode|^ip|^at|^if|^rs232|"
    r"ledstar_1_1_9_0|ledstar_1_1_20|TimeCommLoss|DisplayRate|TBSC|LineLength|Peripheral|"
    r"ModuleID|Callback|SignType|Legend|Technology|Height|Width|Pitch|MaxPollTime|ClimateMode|"
    r"dmsIllumControl|dmsIllumManLevel|BrightnessValues|Illum|LightSensor|^column$|^message$|"
    r"^lit-pixel|^result |^peripheral|^port |Transaction|TimeRemaining")


class Item:
    def __init__(self, oid, name, tag, low, high, choices):
        self.oid, self.name, self.tag = oid, name, tag
        self.low, self.high, self.choices = low, high, choices

    def random_value(self, rng):
        if self.tag == ber.INTEGER:
            if self.choices:
                return rng.choice(self.choices)
            return rng.randint(self.low, self.high)
        length = rng.randint(self.low, self.high)
        alphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789 -_.:"
        return "".join(rng.choice(alphabet) for _ in range(length)).encode()


def catalogue(rows_path):
    """Writable integer and string scalars (and instance 1 of one-index columns) with constraints
    the tool can honour."""
    items = []
    with open(rows_path) as rows:
        for line in rows:
            f = line.rstrip("\n").split("\t")
            if len(f) != 11 or f[0] != "row" or f[5] != "2":
                continue
            oid, name, type_, constraint, index_count = f[2], f[3], f[4], f[8], f[10]
            if EXCLUDE.search(name) or constraint == "-" or type_ not in ("5", "6"):
                continue
            base, kind, values = constraint.split("/")
            values = [int(v) for v in values.split(",")]
            if index_count == "0" and oid.endswith(".0"):
                instance = oid
            elif index_count == "1" and oid.endswith(".255"):
                instance = oid[: -len("255")] + "1"
            else:
                continue
            if type_ == "6":
                low, high = (values[0], values[-1]) if kind == "1" else (0, 0)
                high = min(high, 0x7FFFFFFF) if base != "2" else high
                choices = values if kind == "2" else None
                if kind == "1" and len(values) > 2:
                    pairs = list(zip(values[::2], values[1::2]))
                    choices = [v for lo, hi in pairs for v in (lo, hi, (lo + hi) // 2)]
                items.append(Item(instance, name, ber.INTEGER, low, high, choices))
            elif base == "3" and kind == "1":
                items.append(Item(instance, name, ber.OCTETS, values[0], min(values[1], 255), None))
    return items


class Manager:
    """One central system: its own socket and request ids."""

    def __init__(self, port, timeout=1.0):
        self.address = ("127.0.0.1", port)
        self.sock = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
        self.sock.settimeout(timeout)
        self.next_id = random.randint(1, 1 << 30)

    def close(self):
        self.sock.close()

    def ask(self, pdu, varbinds):
        """(error status, varbinds) or None when no answer came."""
        self.next_id = (self.next_id + 1) & 0x7FFFFFFF
        rid = self.next_id
        try:
            self.sock.sendto(ber.request(pdu, rid, varbinds, ADMIN), self.address)
            while True:
                data, _ = self.sock.recvfrom(65536)
                try:
                    got, status, _, answer = ber.response(data)
                except ber.BerError:
                    continue
                if got == rid:
                    return status, answer
        except (socket.timeout, ConnectionRefusedError, OSError):
            return None

    def get(self, oid, pdu=ber.GET):
        return self.ask(pdu, [(oid, (ber.NULL, None))])

    def set(self, item, value):
        return self.ask(ber.SET, [(item.oid, (item.tag, value))])


def value_of(answer, item):
    if answer is None or answer[0] != 0 or not answer[1]:
        return None
    _, tag, value = answer[1][0]
    return value if tag == item.tag else None


class Controller:
    def __init__(self, args, board, log):
        self.args, self.board = args, board
        self.log = open(log, "ab")
        self.proc = subprocess.Popen(
            [args.dmsc, "--board-dir", board, "--port-offset", str(args.offset), "--time-scale",
             str(args.time_scale)], stdin=subprocess.DEVNULL, stdout=self.log,
            stderr=subprocess.STDOUT)
        self.started = time.monotonic()

    def boot_counter(self):
        try:
            with open(os.path.join(self.board, "nvram.bin"), "rb") as nvram:
                nvram.seek(BOOT_COUNTER_OFFSET)
                return nvram.read(1)[0] & 0x0F
        except (OSError, IndexError):
            return 0

    def wait_for_cleared_counter(self, timeout):
        deadline = time.monotonic() + timeout
        while self.boot_counter() != 0 and time.monotonic() < deadline:
            time.sleep(0.5)
        return self.boot_counter() == 0

    def kill(self, sig=signal.SIGKILL):
        if self.proc.poll() is None:
            self.proc.send_signal(sig)
        try:
            self.proc.wait(20)
        except subprocess.TimeoutExpired:
            self.proc.kill()
            self.proc.wait()
        self.log.close()

    def rss_kb(self, field="RssAnon"):
        """Resident memory: by default the anonymous part (heap, stacks, the board's RAM); the
        pages of the mapped flash file come and go with the journal's writes."""
        try:
            with open(f"/proc/{self.proc.pid}/status") as status:
                for line in status:
                    if line.startswith(field + ":"):
                        return int(line.split()[1])
        except OSError:
            pass
        return 0

    def wait_for_snmp(self, timeout):
        manager = Manager(self.args.offset + SNMP_PORT, timeout=0.5)
        try:
            deadline = time.monotonic() + timeout
            while time.monotonic() < deadline:
                if self.proc.poll() is not None:
                    return False
                answer = manager.get(SYS_UPTIME)
                if answer is not None and answer[0] == 0:
                    return True
            return False
        finally:
            manager.close()


class Ledger:
    """Per object: the last acknowledged value and the values of later sets still unanswered;
    per message row, the states its store may hold."""

    def __init__(self, known=()):
        self.lock = threading.Lock()
        # The values the calibration left behind count as acknowledged: a first set whose answer
        # never came may then still read the value before it.
        self.acked = {item.oid: v for item, v in known}
        self.unsure = {}
        self.acknowledged = 0
        self.messages = messages.MessageLedger()

    def sent(self, oid, value):
        with self.lock:
            self.unsure.setdefault(oid, set()).add(value)

    def answered(self, oid, value, ok):
        with self.lock:
            if ok:
                self.acked[oid] = value
                self.unsure[oid] = set()
                self.acknowledged += 1
            else:
                self.unsure.get(oid, set()).discard(value)

    def allowed(self, oid):
        with self.lock:
            values = set(self.unsure.get(oid, set()))
            if oid in self.acked:
                values.add(self.acked[oid])
            return values


class Load:
    """Managers each owning a share of the objects, setting, getting and walking until stopped."""

    def __init__(self, args, items, ledger, seed, texts=None):
        self.args, self.items, self.ledger, self.texts = args, items, ledger, texts
        self.stop = threading.Event()
        self.counts = {"sets": 0, "acked": 0, "gets": 0, "answers": 0, "timeouts": 0}
        self.count_lock = threading.Lock()
        self.threads = []
        for m in range(args.managers):
            share = items[m :: args.managers]
            rows = message_rows(args)[m :: args.managers] if texts else []
            rng = random.Random(seed * 100 + m)
            self.threads.append(
                threading.Thread(target=self.run, args=(share, rows, rng), daemon=True))

    def count(self, key, n=1):
        with self.count_lock:
            self.counts[key] = self.counts.get(key, 0) + n

    def run(self, share, rows, rng):
        manager = Manager(self.args.offset + SNMP_PORT, timeout=self.args.request_timeout)
        try:
            while not self.stop.is_set():
                if rows and rng.random() < self.args.message_share:
                    messages.cycle(manager, rng.choice(rows), self.texts, self.ledger.messages,
                                   self.count, rng, self.stop)
                    continue
                item = rng.choice(share)
                if rng.random() < 0.75:
                    value = item.random_value(rng)
                    self.ledger.sent(item.oid, value)
                    answer = manager.set(item, value)
                    self.count("sets")
                    if answer is None:
                        self.count("timeouts")
                        time.sleep(0.05)
                        continue
                    ok = answer[0] == 0
                    self.ledger.answered(item.oid, value, ok)
                    self.count("acked" if ok else "answers")
                else:
                    pdu = ber.GET if rng.random() < 0.5 else ber.GETNEXT
                    answer = manager.get(item.oid, pdu)
                    self.count("gets")
                    self.count("timeouts" if answer is None else "answers")
                    if answer is None:
                        time.sleep(0.05)
        finally:
            manager.close()

    def start(self):
        for t in self.threads:
            t.start()

    def finish(self):
        self.stop.set()
        for t in self.threads:
            t.join()


def check_journal(args, board):
    # A flash still locked just after the kill is tried again for a while.
    for _ in range(20):
        done = subprocess.run([args.flashdump, board, "journal"], capture_output=True, text=True)
        if "is a controller running" not in done.stderr:
            break
        time.sleep(0.5)
    return done.returncode, (done.stdout + done.stderr).strip()


def calibrate(args, board, items, log):
    """Keeps the objects whose set is accepted, reads back, and survives a power cut, and
    measures how many characters a page of the sign holds."""
    controller = Controller(args, board, log)
    rng = random.Random(args.seed)
    written = {}
    try:
        if not controller.wait_for_snmp(60):
            sys.exit("soak: dmsc did not answer SNMP on its first start")
        manager = Manager(args.offset + SNMP_PORT)
        width = messages.measure_width(manager, PROBE_ROW) if args.message_share > 0 else 0
        for item in items:
            # A value other than the current one, so that a set that changes nothing is not
            # taken for one that persists.
            current = value_of(manager.get(item.oid), item)
            value = item.random_value(rng)
            for _ in range(8):
                if value != current:
                    break
                value = item.random_value(rng)
            answer = manager.set(item, value)
            if answer is not None and answer[0] == 0 and value_of(manager.get(item.oid), item) == value:
                written[item.oid] = (item, value)
        manager.close()
        time.sleep(1.0)
    finally:
        controller.kill()
    controller = Controller(args, board, log)
    kept = []
    try:
        if not controller.wait_for_snmp(60):
            sys.exit("soak: dmsc did not answer SNMP after the calibration cut")
        manager = Manager(args.offset + SNMP_PORT)
        for item, value in written.values():
            if value_of(manager.get(item.oid), item) == value:
                kept.append((item, value))
        manager.close()
    finally:
        controller.kill()
    print(f"soak: {len(items)} candidate objects, {len(written)} writable, {len(kept)} persist; "
          f"a page holds {width} characters")
    if args.message_share > 0 and width == 0:
        sys.exit("soak: not even one character validates as a message")
    return kept, (messages.Texts(width) if width else None)


def verify(args, items, ledger):
    manager = Manager(args.offset + SNMP_PORT)
    checked = losses = 0
    try:
        checked, losses = messages.verify(manager, message_rows(args), ledger.messages)
        for item in items:
            allowed = ledger.allowed(item.oid)
            if not allowed:
                continue
            answer = None
            for _ in range(3):
                answer = manager.get(item.oid)
                if answer is not None:
                    break
            value = value_of(answer, item)
            checked += 1
            if value not in allowed:
                losses += 1
                print(f"soak: LOSS {item.name} ({item.oid}) reads {value!r}, "
                      f"acknowledged {ledger.acked.get(item.oid)!r}")
    finally:
        manager.close()
    return checked, losses


def track_messages(args, ledger, texts):
    if texts is None:
        return
    manager = Manager(args.offset + SNMP_PORT)
    try:
        for row in message_rows(args):
            got = messages.read_row(manager, row)
            if got is None:
                sys.exit(f"soak: changeable message {row} cannot be read")
            ledger.messages.start(row, got[0], got[1])
    finally:
        manager.close()


def power_loss(args, board, items, texts, ledger, log):
    rng = random.Random(args.seed + 1)
    cuts = hangs = losses = checked = journal_faults = 0
    controller = Controller(args, board, log)
    if not controller.wait_for_snmp(60):
        sys.exit("soak: dmsc did not answer SNMP")
    track_messages(args, ledger, texts)
    cycle = 0
    counts = {}
    while cuts < args.cuts:
        cycle += 1
        load = Load(args, items, ledger, args.seed + cycle, texts)
        load.start()
        window = rng.uniform(0.0, args.window)
        time.sleep(window)
        if controller.boot_counter() >= MAX_UNCLEARED_STARTS:
            if not controller.wait_for_cleared_counter(120 / args.time_scale):
                hangs += 1
                print("soak: HANG: the boot counter was not cleared after 120 s")
        controller.kill()
        cuts += 1
        # Some cuts fall during the next start-up too.
        startup_cut = rng.random() < 0.3 and controller.boot_counter() < MAX_UNCLEARED_STARTS
        rc, text = check_journal(args, board)
        if rc != 0:
            journal_faults += 1
            print(f"soak: journal check after cut {cuts} failed: {text}")
        controller = Controller(args, board, log)
        if startup_cut and cuts < args.cuts:
            time.sleep(rng.uniform(0.0, args.startup_window))
            controller.kill()
            cuts += 1
            rc, text = check_journal(args, board)
            if rc != 0:
                journal_faults += 1
                print(f"soak: journal check after start-up cut {cuts} failed: {text}")
            controller = Controller(args, board, log)
        load.finish()
        for key, n in load.counts.items():
            counts[key] = counts.get(key, 0) + n
        if not controller.wait_for_snmp(60):
            hangs += 1
            print(f"soak: HANG: no SNMP answer 60 s after cut {cuts}")
            controller.kill()
            controller = Controller(args, board, log)
            if not controller.wait_for_snmp(60):
                break
        c, lost = verify(args, items, ledger)
        checked += c
        losses += lost
        if cuts % 10 == 0 or lost:
            print(f"soak: {cuts} cuts, {ledger.acknowledged} acknowledged writes, "
                  f"{ledger.messages.acknowledged} acknowledged message requests, {losses} losses",
                  flush=True)
    controller.kill(signal.SIGTERM)
    print("soak: messages: " + ", ".join(
        f"{counts.get(k, 0)} {k}" for k in ("message sets", "message acks", "validated",
                                           "validation errors", "activations",
                                           "activations refused", "crc faults")))
    losses += counts.get("crc faults", 0)
    return cuts, checked, losses, hangs, journal_faults


def malformed(rng):
    good = ber.request(ber.GET, rng.randint(1, 1000), [(SYS_UPTIME, (ber.NULL, None))], ADMIN)
    kind = rng.randrange(6)
    if kind == 0:
        return os.urandom(rng.randint(1, 600))
    if kind == 1:
        return good[: rng.randint(1, len(good) - 1)]
    if kind == 2:
        return b"\x30\x84\x7f\xff\xff\xff" + good
    if kind == 3:
        return ber.request(ber.GET, 5, [(SYS_UPTIME, (ber.NULL, None))], "no-such-community")
    if kind == 4:
        broken = bytearray(good)
        broken[rng.randrange(len(broken))] ^= 1 << rng.randrange(8)
        return bytes(broken)
    return ber.request(ber.SET, 9, [("1.3.6.1.2.1.1.4.0", (ber.INTEGER, 5))], ADMIN)


ERROR_WORDS = re.compile(r"rror|fail|FAIL|overflow|leak")
DECODER_LINE = re.compile(r"g_snmp_|g_asn1_")
# The display's refusal of an activation over the speed limit (dmsCurrentSpeedLimit is set at
# random, and some message texts are numbers).
HEALTHY = re.compile(r"speed failed to validate$")
# A start-up or reconfiguration step prints its label, then its result after the work; another
# task's line may come in between.
STEP_LABEL = re.compile(r" - [A-Za-z][^\t\n]*\t+")


def error_lines(lines):
    """Console lines with error words, less the decoder's lines about malformed datagrams (also
    when they land after the label of a step another task is printing)."""
    errors = []
    for line in lines:
        label = STEP_LABEL.match(line)
        rest = line[label.end():] if label and DECODER_LINE.match(line[label.end():]) else line
        if ERROR_WORDS.search(rest) and not DECODER_LINE.match(rest) and not HEALTHY.match(rest):
            errors.append(line)
    return errors


def flood(args, board, items, texts, ledger, log):
    controller = Controller(args, board, log)
    if not controller.wait_for_snmp(60):
        sys.exit("soak: dmsc did not answer SNMP before the flood")
    log_start = os.path.getsize(log)
    load = Load(args, items, ledger, args.seed + 999, texts)
    stop = threading.Event()
    bad_sent = [0]

    def junk():
        rng = random.Random(args.seed + 7)
        with socket.socket(socket.AF_INET, socket.SOCK_DGRAM) as s:
            while not stop.is_set():
                s.sendto(malformed(rng), ("127.0.0.1", args.offset + SNMP_PORT))
                bad_sent[0] += 1
                time.sleep(0.002)

    junk_thread = threading.Thread(target=junk, daemon=True)
    load.start()
    junk_thread.start()
    started = time.monotonic()
    settle = min(60.0, args.flood / 6)
    rss_start = rss_settled = controller.rss_kb()
    rss_peak = rss_start
    total_start = controller.rss_kb("VmRSS")
    silent = []  # times of 5 s windows without an answer
    boots = []  # times at which a new boot of the board showed on the console
    console = Console(log, log_start)
    last_answers = 0
    next_sample = started + 5
    while time.monotonic() - started < args.flood:
        time.sleep(0.5)
        rss = controller.rss_kb()
        rss_peak = max(rss_peak, rss)
        if time.monotonic() - started < settle:
            rss_settled = rss
        if time.monotonic() >= next_sample:
            next_sample += 5
            now = time.monotonic() - started
            restarted = console.new_boots()
            if restarted:
                boots += [now] * restarted
                print(f"soak: the board restarted before {now:.0f} s of flood, RSS {rss} kB",
                      flush=True)
            answers = load.counts["answers"] + load.counts["acked"]
            if answers == last_answers:
                silent.append(now)
            last_answers = answers
        if controller.proc.poll() is not None:
            print("soak: dmsc ended during the flood")
            break
    rss_end = controller.rss_kb()
    total_end = controller.rss_kb("VmRSS")
    stop.set()
    junk_thread.join()
    load.finish()
    alive = controller.proc.poll() is None and controller.wait_for_snmp(10)
    controller.kill(signal.SIGTERM)
    boots += [time.monotonic() - started] * console.new_boots()
    stalls = stalled_windows(silent, boots)
    for t in stalls:
        print(f"soak: no answer during the 5 s before {t:.0f} s of flood, and no restart near it")
    with open(log, "rb") as text:
        text.seek(log_start)
        lines = text.read().decode(errors="replace").splitlines()
    errors = error_lines(lines)
    elapsed = time.monotonic() - started
    requests = load.counts["sets"] + load.counts["gets"]
    growth = rss_end - rss_settled
    rss_ok = growth <= max(2048, rss_settled // 20)
    print(f"soak: flood {elapsed:.0f} s: {requests} requests ({requests / elapsed:.0f}/s), "
          f"{load.counts['timeouts']} unanswered, {bad_sent[0]} malformed datagrams, "
          f"RSS (anonymous) start {rss_start} kB, after {settle:.0f} s {rss_settled} kB, end "
          f"{rss_end} kB, peak {rss_peak} kB; with the mapped flash {total_start} kB at start, "
          f"{total_end} kB at end")
    print(f"soak: flood: {len(boots)} restarts of the board, "
          f"{len(silent) - len(stalls)} silent 5 s windows at a restart, {len(stalls)} elsewhere, "
          f"{sum('set not journalled' in line for line in lines)} sets refused while the journal "
          f"was full, {sum('Display ticks' in line for line in lines)} display cycle overruns, "
          f"{sum('StateMachine_Defrag: copying' in line for line in lines)} journal compactions")
    for line in errors[:20]:
        print(f"soak: console: {line}")
    return alive and not stalls, rss_start, rss_end, rss_ok, len(errors)


class Console:
    """New boots of the board on the controller's console since the last look."""

    def __init__(self, path, start):
        self.path, self.at, self.rest = path, start, b""

    def new_boots(self):
        with open(self.path, "rb") as f:
            f.seek(self.at)
            data = self.rest + f.read()
        self.at += len(data) - len(self.rest)
        cut = data.rfind(b"\n") + 1
        self.rest = data[cut:]
        return data[:cut].count(b"Booting ")


def stalled_windows(silent, boots, before=15.0, after=10.0):
    """The silent windows not explained by a restart of the board: a restart (a defragmentation
    of the flash the journal asks for, a commanded reset) is silent from shortly before its boot
    line until the agent is up again."""
    return [t for t in silent if not any(t - before <= b <= t + after for b in boots)]


SUMMARY = re.compile(
    r"soak: cuts (\d+), acknowledged writes checked (\d+), losses (\d+), hangs (\d+), "
    r"journal faults (\d+), RSS start (\d+) kB end (\d+) kB, flood (\w+), console error lines "
    r"(\d+)")


# Port offsets of parallel instances: no two of the controller's ports (7, 23, 161, 162, 3002,
# 14001 plus the offset) meet.
OFFSET_STEP = 130


def parallel(args, argv):
    """Runs args.instances soaks at once, each on its own board directory and ports: the flood
    alone in the first, the cuts shared out over the others; sums their counts."""
    logs = args.log_dir or tempfile.mkdtemp(prefix="dms_soak_logs_")
    os.makedirs(logs, exist_ok=True)
    children = []
    cutters = args.instances - (1 if args.flood > 0 else 0)
    for i in range(args.instances):
        k = i - (args.instances - cutters)
        cuts = 0 if k < 0 else args.cuts // cutters + (1 if k < args.cuts % cutters else 0)
        command = [sys.executable, os.path.abspath(__file__), *argv, "--instances", "1",
                   "--cuts", str(cuts), "--flood", str(args.flood if i == 0 else 0),
                   "--offset", str(args.offset + OFFSET_STEP * i),
                   "--seed", str(args.seed + 1000 * i)]
        if args.board:
            command += ["--board", os.path.join(args.board, str(i))]
        path = os.path.join(logs, f"soak{i}.log")
        children.append((path, subprocess.Popen(command, stdout=open(path, "w"),
                                                stderr=subprocess.STDOUT)))
        print(f"soak: instance {i}: {cuts} cuts, log {path}", flush=True)
    totals = [0, 0, 0, 0, 0, 0, 0, "none", 0]
    failed = 0
    for i, (path, child) in enumerate(children):
        child.wait()
        with open(path) as log:
            text = log.read()
        found = SUMMARY.findall(text)
        for line in text.splitlines():
            if re.search(r"LOSS|HANG|journal check|STALLED|soak: flood|soak: messages|no answer",
                         line):
                print(f"soak[{i}]: {line[6:]}")
        if child.returncode != 0 or not found:
            failed += 1
            print(f"soak[{i}]: failed (exit {child.returncode})")
        if found:
            f = found[-1]
            for k in (0, 1, 2, 3, 4, 8):
                totals[k] += int(f[k])
            if i == 0 and args.flood > 0:
                totals[5], totals[6], totals[7] = int(f[5]), int(f[6]), f[7]
    cuts, checked, losses, hangs, faults, rss_start, rss_end, flooded, errors = totals
    print(f"soak: cuts {cuts}, acknowledged writes checked {checked}, losses {losses}, "
          f"hangs {hangs}, journal faults {faults}, RSS start {rss_start} kB end {rss_end} kB, "
          f"flood {flooded}, console error lines {errors}")
    print(f"{1 if failed == 0 else 0} passed, {1 if failed else 0} failed")
    return 0 if failed == 0 else 1


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--dmsc", required=True)
    parser.add_argument("--flashdump", required=True)
    parser.add_argument("--rows", required=True, help="the agent's row table (mib_rows.tsv)")
    parser.add_argument("--cuts", type=int, default=20)
    parser.add_argument("--flood", type=float, default=30.0, help="seconds of flood (0: none)")
    parser.add_argument("--instances", type=int, default=1,
                        help="soaks run at once, the cuts shared out, the flood in the first")
    parser.add_argument("--log-dir", default=None, help="where the instances write their logs")
    parser.add_argument("--managers", type=int, default=4)
    parser.add_argument("--window", type=float, default=4.0, help="seconds of load before a cut")
    parser.add_argument("--startup-window", type=float, default=1.5)
    parser.add_argument("--message-share", type=float, default=0.1,
                        help="share of a manager's turns that edit and activate a message")
    parser.add_argument("--request-timeout", type=float, default=0.5)
    parser.add_argument("--time-scale", type=float, default=1.0)
    parser.add_argument("--offset", type=int, default=None)
    parser.add_argument("--seed", type=int, default=None)
    parser.add_argument("--board", default=None, help="board directory (default: a new one)")
    args = parser.parse_args()
    if args.seed is None:
        args.seed = random.randrange(1 << 30)
    if args.offset is None:
        args.offset = 20000 + (os.getpid() * 13) % 20000
    print(f"soak: seed {args.seed}, port offset {args.offset}", flush=True)
    if args.instances > 1:
        passed_on = ["--dmsc", args.dmsc, "--flashdump", args.flashdump, "--rows", args.rows,
                     "--managers", str(args.managers), "--window", str(args.window),
                     "--startup-window", str(args.startup_window),
                     "--message-share", str(args.message_share),
                     "--request-timeout", str(args.request_timeout),
                     "--time-scale", str(args.time_scale)]
        return parallel(args, passed_on)
    board = args.board or tempfile.mkdtemp(prefix="dms_soak_")
    os.makedirs(board, exist_ok=True)
    log = os.path.join(board, "console.log") if args.board else board + ".console.log"
    cuts = checked = losses = hangs = journal_faults = rss_start = rss_end = error_lines = 0
    alive = rss_ok = True
    try:
        kept, texts = calibrate(args, board, catalogue(args.rows), log)
        items = [item for item, _ in kept]
        if not items:
            sys.exit("soak: no object to write")
        ledger = Ledger(kept)
        if args.cuts > 0:
            cuts, checked, losses, hangs, journal_faults = power_loss(args, board, items, texts,
                                                                      ledger, log)
        if args.flood > 0:
            alive, rss_start, rss_end, rss_ok, error_lines = flood(args, board, items, texts,
                                                                   ledger, log)
    finally:
        if not args.board:
            shutil.rmtree(board, ignore_errors=True)
    print(f"soak: cuts {cuts}, acknowledged writes checked {checked}, losses {losses}, "
          f"hangs {hangs}, journal faults {journal_faults}, RSS start {rss_start} kB end "
          f"{rss_end} kB, flood {'answered' if alive else 'STALLED'}, console error lines "
          f"{error_lines}")
    if not rss_ok:
        print("soak: RSS grew beyond its bound during the flood")
    failed = losses + hangs + journal_faults + (0 if alive else 1) + (0 if rss_ok else 1)
    failed += 0 if cuts >= args.cuts else 1
    if not args.board:
        if failed:
            print(f"soak: the controller's console is in {log}")
        else:
            os.remove(log)
    print(f"{1 if failed == 0 else 0} passed, {1 if failed else 0} failed")
    return 0 if failed == 0 else 1


if __name__ == "__main__":
    sys.exit(main())
