"""Message texts in the soak: a manager edits a changeable message (modifyReq, MULTI text,
validateReq), waits for its validation, reads its CRC and activates it. The ledger keeps, per
message, every state the store may hold after a power cut given the answers that came back."""

import threading
import time

import snmp_ber as ber

ENTRY = "1.3.6.1.4.1.1206.4.2.3.5.8.1"
ACTIVATE = "1.3.6.1.4.1.1206.4.2.3.6.3.0"
CHANGEABLE = 3
NOT_USED, MODIFYING, VALIDATING, VALID, ERROR = 1, 2, 3, 4, 5
MODIFY_REQ, VALIDATE_REQ = 6, 7
FONT = 2  # a built-in font row the load leaves alone
ALPHABET = "ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789"


def column(number, row):
    return f"{ENTRY}.{number}.{CHANGEABLE}.{row}"


def status_oid(row):
    return column(9, row)


def text_oid(row):
    return column(3, row)


def crc_oid(row):
    return column(5, row)


def message_crc(text, beacon=0, pixel_service=0):
    """CRC-16 (CCITT, reflected, complemented, byte-swapped) over the text, beacon and pixel
    service octets, computed independently of the controller."""
    value = 0xFFFF
    for byte in text + bytes([beacon, pixel_service]):
        value ^= byte
        for _ in range(8):
            value = (value >> 1) ^ 0x8408 if value & 1 else value >> 1
    value = ~value & 0xFFFF
    return ((value << 8) | (value >> 8)) & 0xFFFF


class State:
    """A text with the statuses it may read with."""

    __slots__ = ("text", "statuses")

    def __init__(self, text, statuses):
        self.text, self.statuses = bytes(text), frozenset(statuses)

    def key(self):
        return (self.text, self.statuses)

    def __eq__(self, other):
        return self.key() == other.key()

    def __hash__(self):
        return hash(self.key())

    def __repr__(self):
        return f"{self.text!r} status {sorted(self.statuses)}"

    def matches(self, text, status, crc):
        if text != self.text or status not in self.statuses:
            return False
        return status != VALID or crc == message_crc(self.text)


# What an acknowledged request makes of a state: None when the request is refused from it.
def after_modify_req(state):
    if not state.statuses & {NOT_USED, MODIFYING, VALID, ERROR}:
        return None
    # The display's pass turns modifyReq into modifying, after the response or at the next start.
    return State(state.text, {MODIFY_REQ, MODIFYING})


def after_text(text):
    def step(state):
        return State(text, {MODIFYING}) if MODIFYING in state.statuses else None

    return step


def after_validate_req(state):
    if MODIFYING not in state.statuses:
        return None
    # Validation ends valid or error; a cut before it ends leaves the request to the next start.
    return State(state.text, {VALIDATE_REQ, VALIDATING, VALID, ERROR})


class MessageLedger:
    """Per message row, the set of states its store may hold. A request answered with noError
    moves every state it applies to; one whose answer never came (or came with an error) adds
    its outcome to the states already possible."""

    def __init__(self):
        self.lock = threading.Lock()
        self.states = {}
        self.acknowledged = 0

    def start(self, row, text, status):
        with self.lock:
            self.states[row] = {State(text, {status})}

    def possible(self, row):
        with self.lock:
            return set(self.states.get(row, ()))

    def request(self, row, step, ok):
        with self.lock:
            now = self.states.get(row)
            if now is None:
                return
            after = {s for s in (step(state) for state in now) if s is not None}
            if ok:
                self.acknowledged += 1
                # A set the controller accepted from a state not thought possible still happened.
                self.states[row] = after or {step(State(s.text, range(1, 9))) for s in now}
            else:
                self.states[row] = now | after

    def observed(self, row, text, status):
        """A settled status read back after an acknowledged validateReq. The display's own
        writes of the validation (validating, then the result) may not have reached a full
        journal: the next start then validates the text again."""
        with self.lock:
            now = self.states.get(row, set())
            if any(text == s.text and status in s.statuses for s in now):
                self.states[row] = {State(text, {VALIDATE_REQ, VALIDATING, status})}

    def check(self, row, text, status, crc):
        with self.lock:
            return any(s.matches(text, status, crc) for s in self.states.get(row, ()))


class Texts:
    """Random MULTI texts within the sign's limits: pages of at most `width` characters of the
    font, with page justification, line justification and page times."""

    def __init__(self, width):
        self.width = width

    def random_text(self, rng):
        pages = []
        for _ in range(rng.randint(1, 4)):
            tags = ""
            if rng.random() < 0.3:
                tags += f"[jp{rng.randint(2, 4)}]"
            if rng.random() < 0.3:
                tags += f"[jl{rng.randint(2, 4)}]"
            if rng.random() < 0.3:
                tags += f"[pt{rng.randint(10, 50)}o{rng.randint(0, 10)}]"
            chars = "".join(rng.choice(ALPHABET) for _ in range(rng.randint(1, self.width)))
            pages.append(tags + chars)
        return (f"[fo{FONT}]" + "[np]".join(pages)).encode()


def value(answer, tag):
    if answer is None or answer[0] != 0 or not answer[1]:
        return None
    _, got_tag, got = answer[1][0]
    return got if got_tag == tag else None


def settle(manager, row, waiting, timeout, stop=None):
    """The row's status once it has left the statuses in `waiting`, or None."""
    deadline = time.monotonic() + timeout
    while time.monotonic() < deadline and not (stop and stop.is_set()):
        status = value(manager.get(status_oid(row)), ber.INTEGER)
        if status is not None and status not in waiting:
            return status
        time.sleep(0.05)
    return None


def store(manager, row, text, timeout=5.0):
    """modifyReq, the text, validateReq, without a ledger: the final status or None."""
    if value(manager.ask(ber.SET, [(status_oid(row), (ber.INTEGER, MODIFY_REQ))]), ber.INTEGER) \
            is None:
        return None
    if settle(manager, row, {MODIFY_REQ}, timeout) != MODIFYING:
        return None
    if manager.ask(ber.SET, [(text_oid(row), (ber.OCTETS, text))]) is None:
        return None
    if manager.ask(ber.SET, [(status_oid(row), (ber.INTEGER, VALIDATE_REQ))]) is None:
        return None
    return settle(manager, row, {VALIDATE_REQ, VALIDATING}, timeout)


def measure_width(manager, row, limit=12):
    """The most characters of the font's widest letters one page holds (0 when not even one)."""
    width = 0
    for n in range(1, limit + 1):
        if store(manager, row, f"[fo{FONT}]".encode() + b"W" * n) != VALID or \
                store(manager, row, f"[fo{FONT}]".encode() + b"M" * n) != VALID:
            break
        width = n
    return width


def activation_code(row, crc, rng):
    duration = rng.choice([rng.randint(1, 30), 0xFFFF])
    return (duration.to_bytes(2, "big") + bytes([rng.randint(1, 255), CHANGEABLE]) +
            row.to_bytes(2, "big") + crc.to_bytes(2, "big") + bytes([127, 0, 0, 1]))


def cycle(manager, row, texts, ledger, counts, rng, stop):
    """One edit of a message and its activation; stops at the first request that is not
    acknowledged."""

    def acked(oid, tag, v, step):
        answer = manager.ask(ber.SET, [(oid, (tag, v))])
        ok = answer is not None and answer[0] == 0
        ledger.request(row, step, ok)
        counts("message sets")
        if ok:
            counts("message acks")
        return ok

    if not acked(status_oid(row), ber.INTEGER, MODIFY_REQ, after_modify_req):
        return
    if settle(manager, row, {MODIFY_REQ}, 5.0, stop) != MODIFYING:
        return
    text = texts.random_text(rng)
    if not acked(text_oid(row), ber.OCTETS, text, after_text(text)):
        return
    if not acked(status_oid(row), ber.INTEGER, VALIDATE_REQ, after_validate_req):
        return
    status = settle(manager, row, {VALIDATE_REQ, VALIDATING}, 5.0, stop)
    if status not in (VALID, ERROR):
        return
    ledger.observed(row, text, status)
    counts("validated" if status == VALID else "validation errors")
    if status != VALID:
        return
    crc = value(manager.get(crc_oid(row)), ber.INTEGER)
    if crc is None:
        return
    if crc != message_crc(text):
        counts("crc faults")
        print(f"soak: CRC of changeable {row} {text!r} reads {crc}, computed "
              f"{message_crc(text)}")
    answer = manager.ask(ber.SET, [(ACTIVATE, (ber.OCTETS, activation_code(row, crc, rng)))])
    counts("activations" if answer is not None and answer[0] == 0 else "activations refused")


def read_row(manager, row, tries=3):
    """(text, status, crc) of a row, or None."""
    for _ in range(tries):
        answer = manager.ask(ber.GET, [(text_oid(row), (ber.NULL, None)),
                                       (status_oid(row), (ber.NULL, None)),
                                       (crc_oid(row), (ber.NULL, None))])
        if answer is None or answer[0] != 0 or len(answer[1]) != 3:
            continue
        (_, t1, text), (_, t2, status), (_, t3, crc) = answer[1]
        if (t1, t2, t3) == (ber.OCTETS, ber.INTEGER, ber.INTEGER):
            return bytes(text), status, crc
    return None


def verify(manager, rows, ledger):
    """(rows checked, losses) after a restart."""
    checked = losses = 0
    for row in rows:
        possible = ledger.possible(row)
        if not possible:
            continue
        checked += 1
        got = read_row(manager, row)
        if got is None or not ledger.check(row, *got):
            losses += 1
            print(f"soak: LOSS changeable message {row} reads {got!r}, may hold "
                  f"{sorted(possible, key=repr)}")
    return checked, losses
