#!/usr/bin/env python3
"""Tests of the post-link step that shrinks the Windows programs' unwinding tables: which
frames count as never unwound, and the rewrite of the records. (The win32 test programs,
shrunk by the same step, show that the result unwinds; these pin the rules down.)"""
import importlib.util
import os
import struct
import unittest
from types import SimpleNamespace

_path = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "cmake", "compact_eh_frame.py")
_spec = importlib.util.spec_from_file_location("compact_eh_frame", _path)
step = importlib.util.module_from_spec(_spec)
_spec.loader.exec_module(step)

IMPORT_TABLE = (0x9000, 0x9100)
THROW = 0x1000  # stands for an entry point of the unwinder


class FramesNeverUnwound(unittest.TestCase):
    def dropped(self, functions, code):
        fdes = [SimpleNamespace(pc_begin=start, pc_range=size, lsda=lsda, start=start)
                for start, size, lsda in functions]
        gone = step.frames_never_unwound(fdes, code, {THROW}, IMPORT_TABLE)
        return {fde.pc_begin for fde in fdes if fde.start in gone}

    def test_rules(self):
        # Each function: its start, 0x10 bytes, its instructions from its start on.
        bodies = {
            THROW: [("push", "%ebp"), ("call", "0x1f20")],
            0x1100: [("mov", "%eax,%edx"), ("ret", "")],              # a leaf
            0x1200: [("call", "0x1000"), ("ret", "")],                # throws
            0x1300: [("call", "*0x9004"), ("ret", "")],               # a system call only
            0x1400: [("call", "0x1f00"), ("ret", "")],                # through an import thunk
            0x1500: [("call", "0x1f10"), ("ret", "")],                # code without an FDE
            0x1600: [("call", "*%eax"), ("ret", "")],                 # an unknown target
            0x1700: [("jmp", "0x1200")],                              # tail call of a thrower
            0x1800: [("call", "0x1700"), ("ret", "")],
            0x1900: [("call", "0x1800"), ("ret", "")],
            0x1a00: [("jmp", "*0x8000(,%eax,4)"), ("ret", "")],       # a switch
            0x1b00: [("jmp", "*%eax")],                               # tail call, target unknown
            0x1c00: [("call", "0x1b00"), ("ret", "")],
            0x1d00: [("mov", "%eax,%edx"), ("ret", "")],              # has an LSDA
            0x1e00: [("call", "0x1e00"), ("call", "0x2200"), ("ret", "")],  # recursion only
            0x2200: [("call", "0x1e00"), ("ret", "")],
            0x2100: [("call", "0x1101"), ("ret", "")],                # into a function's middle
        }
        code = {0x1f00: ("jmp", "*0x9008"), 0x1f10: ("push", "%ebp"), 0x1f20: ("ret", ""),
                0x2300: ("ret", "")}
        for start, body in bodies.items():
            for offset, instruction in enumerate(body):
                code[start + offset] = instruction
            code.setdefault(start + 0x10, ("nop", ""))
        # A function whose listing does not start where its FDE does.
        code[0x2001] = ("mov", "%eax,%edx")
        functions = [(start, 0x10, 0x7000 if start == 0x1d00 else None) for start in bodies]
        functions.append((0x2000, 0x10, None))

        self.assertEqual(self.dropped(functions, code),
                         {0x1100, 0x1300, 0x1400, 0x1700, 0x1a00, 0x1b00, 0x1e00, 0x2200})


def uleb(value):
    out = bytearray()
    while True:
        byte = value & 0x7F
        value >>= 7
        out.append(byte | (0x80 if value else 0))
        if not value:
            return bytes(out)


class SectionBuilder:
    """Writes .eh_frame records as GCC does for 32-bit Windows (PC-relative pointers)."""

    def __init__(self, address):
        self.address = address
        self.data = bytearray()

    def record(self, body):
        body += b"\0" * (-(len(body) + 4) % 4)  # DW_CFA_nop padding
        start = len(self.data)
        self.data += struct.pack("<I", len(body)) + body
        return start

    def pcrel(self, target, field):
        return struct.pack("<i", target - (self.address + field))

    def cie(self, personality_slot=None):
        start = len(self.data)
        if personality_slot is None:
            return self.record(b"\0\0\0\0\x01zR\0\x01\x7c\x08" + uleb(1) + b"\x1b\x0c\x04\x04\x88\x01")
        head = b"\0\0\0\0\x01zPLR\0\x01\x7c\x08" + uleb(7) + b"\x9b"
        pointer = self.pcrel(personality_slot, start + 4 + len(head))
        return self.record(head + pointer + b"\x1b\x1b\x0c\x04\x04\x88\x01")

    def fde(self, cie, function, size, lsda=None):
        start = len(self.data)
        body = struct.pack("<I", start + 4 - cie) + self.pcrel(function, start + 8) + struct.pack("<I", size)
        if lsda is None:
            body += uleb(0)
        else:
            body += uleb(4) + self.pcrel(lsda, start + 4 + len(body) + 1)
        return self.record(body + b"\x41\x0e\x08\x85\x02")


class Rewrite(unittest.TestCase):
    def test_one_copy_of_each_cie_and_frames_kept_as_they_were(self):
        address = 0x439000
        built = SectionBuilder(address)
        built.data += b"\x14\0\0\0" + b"\x77" * 0x14  # start-up records ahead of the registered ones
        begin = len(built.data)
        slots = {0x432048: 0x40F000, 0x43204C: 0x40F000}  # two objects' slots, one routine
        for slot in slots:
            plain = built.cie()
            built.fde(plain, 0x401000 + slot % 0x100 * 0x10, 0x20)
            with_lsda = built.cie(slot)
            built.fde(with_lsda, 0x402000 + slot % 0x100 * 0x10, 0x30, lsda=0x433000 + slot % 0x100)
            built.fde(plain, 0x403000 + slot % 0x100 * 0x10, 0x08)
        built.data += b"\0\0\0\0"
        data = bytes(built.data)
        dropped_function = 0x403000 + 0x4C * 0x10

        def unneeded(fdes):
            return {fde.start for fde in fdes if fde.pc_begin == dropped_function}

        out, cies_dropped, fdes_dropped = step.compact(data, begin, address, slots.get, unneeded)

        self.assertEqual((cies_dropped, fdes_dropped), (2, 1))
        self.assertEqual(out[:begin], data[:begin])
        self.assertEqual(out[-4:], b"\0\0\0\0")
        before, _ = step.parse(data, begin, address, slots.get)
        after, _ = step.parse(out, begin, address, slots.get)
        self.assertEqual(sum(isinstance(r, step.Cie) for r in after), 2)
        expected = [(r.pc_begin, r.pc_range, r.lsda) for r in before
                    if isinstance(r, step.Fde) and r.pc_begin != dropped_function]
        self.assertEqual([(r.pc_begin, r.pc_range, r.lsda) for r in after if isinstance(r, step.Fde)], expected)
        # Every FDE with an LSDA now points at the one CIE with the personality routine.
        routines = {r.cie.personality for r in after if isinstance(r, step.Fde) and r.lsda is not None}
        self.assertEqual(len(routines), 1)
        self.assertIn(routines.pop(), slots)


if __name__ == "__main__":
    unittest.main()
