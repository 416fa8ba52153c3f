#!/usr/bin/env python3
"""The soak's own judgement: which message states a power cut may leave after a run of answered
and unanswered requests, and which console lines of a flood count as errors."""

import os
import sys
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import messages as m  # noqa: E402
import soak  # noqa: E402

OLD, NEW = b"[fo2]AB", b"[fo2]C[np]D"
VALID = m.VALID

# Requests in order, each answered (True) or not (False), then the reads after the cut that must
# pass and those that must be found a loss: (text, status, crc or None for the right CRC).
SEQUENCES = [
    ("validated and settled", [("modify", True), ("text", True), ("validate", True),
                               ("settled", m.VALID)],
     [(NEW, VALID, None), (NEW, m.VALIDATING, None)],
     [(OLD, VALID, None), (NEW, m.MODIFYING, None), (NEW, VALID, 1234), (NEW, m.ERROR, None)]),
    ("validateReq acknowledged, cut before the pass", [("modify", True), ("text", True),
                                                       ("validate", True)],
     [(NEW, m.VALIDATE_REQ, None), (NEW, m.VALIDATING, None), (NEW, VALID, None),
      (NEW, m.ERROR, None)],
     [(OLD, VALID, None), (NEW, m.MODIFYING, None)]),
    ("validateReq unanswered", [("modify", True), ("text", True), ("validate", False)],
     [(NEW, m.MODIFYING, None), (NEW, m.VALIDATE_REQ, None), (NEW, VALID, None)],
     [(OLD, VALID, None), (OLD, m.MODIFYING, None)]),
    ("text unanswered", [("modify", True), ("text", False)],
     [(OLD, m.MODIFYING, None), (OLD, m.MODIFY_REQ, None), (NEW, m.MODIFYING, None)],
     [(OLD, VALID, None), (NEW, VALID, None)]),
    ("modifyReq unanswered", [("modify", False)],
     [(OLD, VALID, None), (OLD, m.MODIFYING, None)],
     [(NEW, m.MODIFYING, None), (OLD, m.ERROR, None)]),
    ("an unanswered text overtaken by an acknowledged edit",
     [("modify", True), ("text", False), ("text", True), ("validate", True),
      ("settled", m.ERROR)],
     [(NEW, m.ERROR, None), (NEW, m.VALIDATE_REQ, None)],
     [(OLD, m.MODIFYING, None), (NEW, VALID, None)]),
]


def run(sequence):
    ledger = m.MessageLedger()
    ledger.start(7, OLD, m.VALID)
    steps = {"modify": m.after_modify_req, "text": m.after_text(NEW),
             "validate": m.after_validate_req}
    for what, arg in sequence:
        if what == "settled":
            ledger.observed(7, NEW, arg)
        else:
            ledger.request(7, steps[what], arg)
    return ledger


class MessageLedgerTest(unittest.TestCase):
    def test_states_after_a_cut(self):
        for name, sequence, kept, lost in SEQUENCES:
            ledger = run(sequence)
            for text, status, crc in kept:
                with self.subTest(name, read=(text, status, crc)):
                    crc = m.message_crc(text) if crc is None else crc
                    self.assertTrue(ledger.check(7, text, status, crc))
            for text, status, crc in lost:
                with self.subTest(name, loss=(text, status, crc)):
                    crc = m.message_crc(text) if crc is None else crc
                    self.assertFalse(ledger.check(7, text, status, crc))

    def test_untracked_rows_are_not_checked(self):
        ledger = m.MessageLedger()
        ledger.request(9, m.after_modify_req, True)
        self.assertEqual(ledger.possible(9), set())

    def test_crc_matches_the_controllers(self):
        # Values read from the controller for these texts (beacon and pixel service 0).
        for text, crc in [(b"[fo2]W", 49359), (b"[fo2]WW", 23865), (b"[fo2]111", 1773)]:
            with self.subTest(text):
                self.assertEqual(m.message_crc(text), crc)

    def test_random_texts_keep_to_the_page_width(self):
        import random
        import re
        texts = m.Texts(2)
        rng = random.Random(5)
        for _ in range(200):
            text = texts.random_text(rng).decode()
            self.assertTrue(text.startswith(f"[fo{m.FONT}]"))
            for page in text.split("[np]"):
                self.assertLessEqual(len(re.sub(r"\[[^\]]*\]", "", page)), 2, text)


class ConsoleFilterTest(unittest.TestCase):
    LINES = [
        ("g_snmp_pdu_v1_decode: g_snmp_list_decode failed", False),
        ("g_asn1_oid_decode failed 2", False),
        (" - Programming EPLD\t\t\t\t\tg_snmp_pdu_v1_decode: g_snmp_request_decode failed", False),
        (" - Programming EPLD\t\t\t\t\tg_asn1_oid_decode failed 3", False),
        ("[ OK ]", False),
        (" - Programming EPLD\t\t\t\t\t[FAIL]", True),
        ("\terror programming epld", True),
        (" - Programming EPLD\t\t\t\t\tNV Allocation Error:1! Ptr:00000000, Size:9", True),
        ("SetString invalid value", False),
        ("speed failed to validate", False),
        ("journal speed failed to validate twice", True),
        ("journal write failed", True),
        ("x g_snmp_pdu_v1_decode: failed", True),
    ]

    def test_lines(self):
        for line, flagged in self.LINES:
            with self.subTest(line):
                self.assertEqual(soak.error_lines([line]), [line] if flagged else [])


class FloodStallTest(unittest.TestCase):
    # (silent windows, boot sightings, the windows that are stalls)
    CASES = [
        ([], [], []),
        ([20.0], [], [20.0]),
        ([20.0, 25.0], [22.0], []),
        ([20.0], [30.0], []),  # silent just before the boot line shows
        ([20.0], [41.0], [20.0]),
        ([20.0], [4.0], [20.0]),  # a boot long before does not excuse a later silence
        ([100.0, 300.0], [95.0], [300.0]),
    ]

    def test_cases(self):
        for silent, boots, stalls in self.CASES:
            with self.subTest(silent=silent, boots=boots):
                self.assertEqual(soak.stalled_windows(silent, boots), stalls)

    def test_console_counts_each_boot_once(self):
        import tempfile
        with tempfile.NamedTemporaryFile("wb", delete=False) as f:
            f.write(b"old\nBooting PX40317 ver\n")
            path = f.name
        try:
            console = soak.Console(path, 4)
            self.assertEqual(console.new_boots(), 1)
            self.assertEqual(console.new_boots(), 0)
            with open(path, "ab") as f:
                f.write(b"x\nBoot")  # a line still being written
            self.assertEqual(console.new_boots(), 0)
            with open(path, "ab") as f:
                f.write(b"ing PX40317\n")
            self.assertEqual(console.new_boots(), 1)
        finally:
            os.unlink(path)


if __name__ == "__main__":
    unittest.main()
