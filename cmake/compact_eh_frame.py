#!/usr/bin/env python3
"""Shrinks the exception-unwinding tables (.eh_frame) of a linked 32-bit PE program.

GNU ld merges identical CIEs (the common part every FDE points to) only on ELF. On PE it
keeps each input section's own CIE, so the stub carried some 430 copies of the same two
CIEs, 11 KB of its file. This step keeps one copy of each distinct CIE, points every FDE at
it, and closes the gap: the section gets shorter in the file, the sections after it move down
in the file (their addresses stay), and the header's sizes and checksum are brought up to date.

Only the records the program registers with the unwinder are touched: those from the start of
crtbegin.o's part of the section (its __EH_FRAME_BEGIN__, found through the linker map) up to
the zero terminator. Records before it (the C runtime's start-up object) are copied as they
are. Pointers in the tables are PC-relative (no base relocations point into the section; this
is checked), so moving a record means adjusting its PC-relative fields by the distance it
moved. After the rewrite every FDE is decoded again and must yield the same function range,
instructions, personality routine and language-specific data as before, or the program is
left untouched and the step fails.

Usage: compact_eh_frame.py PROGRAM.exe LINKER.map
"""
import re
import struct
import sys

SECTION = b".eh_fram"  # section names in the PE header are cut to eight bytes


def fail(message):
    sys.exit(f"compact_eh_frame: {message}")


def uleb(data, pos):
    result = shift = 0
    while True:
        byte = data[pos]
        pos += 1
        result |= (byte & 0x7F) << shift
        shift += 7
        if byte < 0x80:
            return result, pos


def sleb(data, pos):
    result = shift = 0
    while True:
        byte = data[pos]
        pos += 1
        result |= (byte & 0x7F) << shift
        shift += 7
        if byte < 0x80:
            if byte & 0x40:
                result -= 1 << shift
            return result, pos


# Pointer encodings GCC uses for 32-bit targets: absolute, or relative to the field, in four
# bytes; 0x80 (indirect) only says the target holds the pointer. Anything else is refused.
def pointer_size(encoding):
    if encoding & 0x0F not in (0x00, 0x03, 0x0B) or encoding & 0x70 not in (0x00, 0x10):
        fail(f"pointer encoding {encoding:#x} is not handled")
    return 4


def is_pc_relative(encoding):
    return encoding & 0x70 == 0x10


def read_pointer(data, pos, encoding, address):
    """The pointer's target (None for 0, which means "none") and the position after it."""
    pointer_size(encoding)
    raw = struct.unpack_from("<i" if encoding & 0x0F == 0x0B else "<I", data, pos)[0]
    if raw == 0:
        return None, pos + 4
    target = (raw + address + pos) & 0xFFFFFFFF if is_pc_relative(encoding) else raw & 0xFFFFFFFF
    return target, pos + 4


def write_pointer(out, pos, encoding, address, target):
    if target is None:
        struct.pack_into("<I", out, pos, 0)
    elif is_pc_relative(encoding):
        struct.pack_into("<I", out, pos, (target - (address + pos)) & 0xFFFFFFFF)
    else:
        struct.pack_into("<I", out, pos, target)


class Cie:
    def __init__(self, data, start, end, address, read_word):
        self.bytes = data[start:end]
        pos = start + 8
        self.version = data[pos]
        pos += 1
        aug_end = data.index(b"\0", pos)
        self.augmentation = data[pos:aug_end].decode("ascii")
        pos = aug_end + 1
        _, pos = uleb(data, pos)  # code alignment
        _, pos = sleb(data, pos)  # data alignment
        if self.version == 1:
            pos += 1
        else:
            _, pos = uleb(data, pos)
        self.fde_encoding = 0x00
        self.lsda_encoding = None
        self.personality = None
        self.personality_field = None
        if self.augmentation.startswith("z"):
            _, pos = uleb(data, pos)
            for letter in self.augmentation[1:]:
                if letter == "R":
                    self.fde_encoding = data[pos]
                    pos += 1
                elif letter == "L":
                    self.lsda_encoding = data[pos]
                    pos += 1
                elif letter == "P":
                    encoding = data[pos]
                    self.personality_field = (pos + 1 - start, encoding)
                    self.personality, pos = read_pointer(data, pos + 1, encoding, address)
                else:
                    fail(f"augmentation {self.augmentation!r} is not handled")
        elif self.augmentation:
            fail(f"augmentation {self.augmentation!r} is not handled")
        # Two CIEs are the same when they differ at most in where their personality pointer
        # lies, i.e. when they name the same routine. Each object file brings its own slot
        # holding the routine's address (an indirect pointer), so compare what the slots hold.
        key = bytearray(self.bytes)
        if self.personality_field:
            offset, encoding = self.personality_field
            routine = self.personality or 0
            if encoding & 0x80 and self.personality:
                routine = read_word(self.personality)
            key[offset:offset + 4] = struct.pack("<I", routine)
        self.key = bytes(key)


class Fde:
    def __init__(self, data, start, end, address, cie):
        self.cie = cie
        self.start = start
        self.bytes = data[start:end]
        pos = start + 8
        self.pc_begin, pos = read_pointer(data, pos, cie.fde_encoding, address)
        self.pc_range = struct.unpack_from("<I", data, pos)[0]
        pos += 4
        self.lsda = None
        self.lsda_field = None
        if cie.augmentation.startswith("z"):
            length, aug_start = uleb(data, pos)
            if cie.lsda_encoding is not None:
                self.lsda_field = aug_start - start
                self.lsda, _ = read_pointer(data, aug_start, cie.lsda_encoding, address)
            pos = aug_start + length
        self.instructions = data[pos:end]

    def meaning(self):
        return (self.pc_begin, self.pc_range, self.lsda, self.instructions, self.cie.key)


def parse(data, begin, address, read_word):
    """The records from `begin` up to the terminator: a list of Cie and Fde, and the
    terminator's offset."""
    records = []
    cies = {}
    pos = begin
    while True:
        if pos + 4 > len(data):
            fail("no terminator at the end of the section")
        length = struct.unpack_from("<I", data, pos)[0]
        if length == 0:
            return records, pos
        if length == 0xFFFFFFFF:
            fail("64-bit records are not handled")
        end = pos + 4 + length
        ident = struct.unpack_from("<I", data, pos + 4)[0]
        if ident == 0:
            cie = Cie(data, pos, end, address, read_word)
            cies[pos] = cie
            records.append(cie)
        else:
            cie_pos = pos + 4 - ident
            if cie_pos not in cies:
                fail(f"FDE at {pos:#x} names no CIE seen before it")
            records.append(Fde(data, pos, end, address, cies[cie_pos]))
        pos = end


def compact(data, begin, address, read_word):
    records, terminator = parse(data, begin, address, read_word)
    out = bytearray(data[:begin])
    placed = {}  # CIE key -> offset of the copy that is kept
    for record in records:
        if isinstance(record, Cie):
            if record.key in placed:
                continue
            placed[record.key] = len(out)
            pos = len(out)
            out += record.bytes
            if record.personality_field:
                offset, encoding = record.personality_field
                write_pointer(out, pos + offset, encoding, address, record.personality)
            continue
        pos = len(out)
        out += record.bytes
        struct.pack_into("<I", out, pos + 4, pos + 4 - placed[record.cie.key])
        write_pointer(out, pos + 8, record.cie.fde_encoding, address, record.pc_begin)
        if record.lsda_field is not None:
            write_pointer(out, pos + record.lsda_field, record.cie.lsda_encoding, address, record.lsda)
    out += data[terminator:terminator + 4]
    # Decode again: every FDE must mean what it meant, in the same order.
    check, _ = parse(bytes(out), begin, address, read_word)
    before = [r.meaning() for r in records if isinstance(r, Fde)]
    after = [r.meaning() for r in check if isinstance(r, Fde)]
    if before != after:
        fail("the rewritten tables do not decode to the same frames; program left as it was")
    cies = sum(isinstance(r, Cie) for r in records)
    return bytes(out), cies - len(placed), len(placed)


def pe_checksum(image, checksum_offset):
    total = 0
    padded = image + (b"\0" if len(image) % 2 else b"")
    words = struct.unpack_from(f"<{len(padded) // 2}H", padded)
    skip = checksum_offset // 2
    for index, word in enumerate(words):
        if index in (skip, skip + 1):
            continue
        total += word
        total = (total & 0xFFFF) + (total >> 16)
    total = (total & 0xFFFF) + (total >> 16)
    return (total + len(image)) & 0xFFFFFFFF


def frame_begin_address(map_path):
    """Where crtbegin.o's part of .eh_frame starts: the address the program registers."""
    pattern = re.compile(r"^\s*\.eh_frame\s+0x([0-9a-f]+)\s+0x[0-9a-f]+\s+\S*crtbegin\.o\s*$")
    for line in open(map_path, encoding="utf-8", errors="replace"):
        match = pattern.match(line)
        if match:
            return int(match.group(1), 16)
    fail(f"{map_path} shows no .eh_frame of crtbegin.o")


def main():
    if len(sys.argv) != 3:
        sys.exit(__doc__.strip().splitlines()[-1])
    program, map_path = sys.argv[1], sys.argv[2]
    image = bytearray(open(program, "rb").read())
    pe = struct.unpack_from("<I", image, 0x3C)[0]
    if image[pe:pe + 4] != b"PE\0\0":
        fail(f"{program} is not a PE program")
    sections_count = struct.unpack_from("<H", image, pe + 6)[0]
    optional_size = struct.unpack_from("<H", image, pe + 20)[0]
    if struct.unpack_from("<I", image, pe + 12)[0]:
        fail("the program still has a symbol table; strip it first")
    optional = pe + 24
    if struct.unpack_from("<H", image, optional)[0] != 0x10B:
        fail("not a 32-bit (PE32) program")
    image_base = struct.unpack_from("<I", image, optional + 28)[0]
    file_alignment = struct.unpack_from("<I", image, optional + 36)[0]
    directories = optional + 96
    security_size = struct.unpack_from("<I", image, directories + 4 * 8 + 4)[0]
    if security_size:
        fail("the program is signed; compact it before signing")
    reloc_rva, reloc_size = struct.unpack_from("<II", image, directories + 5 * 8)
    table = optional + optional_size
    sections = []
    for index in range(sections_count):
        header = table + 40 * index
        name = bytes(image[header:header + 8])
        virtual_size, rva, raw_size, raw_pointer = struct.unpack_from("<IIII", image, header + 8)
        sections.append((header, name, virtual_size, rva, raw_size, raw_pointer))
    eh = [s for s in sections if s[1] == SECTION]
    if len(eh) != 1:
        fail("no .eh_frame section")
    header, _, virtual_size, rva, raw_size, raw_pointer = eh[0]
    end_of_sections = max(s[5] + s[4] for s in sections)
    if end_of_sections != len(image):
        fail("data follows the last section; compact the program before anything is appended")

    # No base relocation may point into the tables: a moved record would carry it wrongly.
    pos = 0
    reloc_data = None
    for s in sections:
        if s[3] <= reloc_rva < s[3] + s[2]:
            reloc_data = image[s[5] + reloc_rva - s[3]: s[5] + reloc_rva - s[3] + reloc_size]
    while reloc_data and pos + 8 <= len(reloc_data):
        page, block_size = struct.unpack_from("<II", reloc_data, pos)
        if block_size < 8:
            break
        for (entry,) in struct.iter_unpack("<H", reloc_data[pos + 8:pos + block_size]):
            if entry >> 12 and rva <= page + (entry & 0xFFF) < rva + virtual_size:
                fail("a base relocation points into .eh_frame")
        pos += block_size

    address = image_base + rva
    begin = frame_begin_address(map_path) - address
    if not 0 <= begin < virtual_size:
        fail("crtbegin.o's .eh_frame lies outside the section")
    data = bytes(image[raw_pointer:raw_pointer + virtual_size])
    def read_word(target):
        for s in sections:
            offset = target - image_base - s[3]
            if 0 <= offset <= min(s[2], s[4]) - 4:
                return struct.unpack_from("<I", image, s[5] + offset)[0]
        fail(f"the personality slot at {target:#x} is not in the file")

    compacted, dropped, kept = compact(data, begin, address, read_word)
    new_raw = -(-len(compacted) // file_alignment) * file_alignment
    shift = raw_size - new_raw
    if shift < 0:
        fail("the tables grew")

    out = bytearray(image[:raw_pointer])
    out += compacted + b"\0" * (new_raw - len(compacted))
    out += image[raw_pointer + raw_size:]
    struct.pack_into("<II", out, header + 8, len(compacted), rva)
    struct.pack_into("<I", out, header + 16, new_raw)
    for other_header, _, _, _, _, other_pointer in sections:
        if other_pointer > raw_pointer:
            struct.pack_into("<I", out, other_header + 20, other_pointer - shift)
    initialized = struct.unpack_from("<I", out, optional + 8)[0]
    struct.pack_into("<I", out, optional + 8, initialized - shift)
    checksum_offset = optional + 64
    if struct.unpack_from("<I", out, checksum_offset)[0]:
        struct.pack_into("<I", out, checksum_offset, pe_checksum(bytes(out), checksum_offset))
    open(program, "wb").write(out)
    print(f"compact_eh_frame: {dropped} duplicate CIEs dropped ({kept} kept), "
          f".eh_frame {virtual_size} -> {len(compacted)} bytes, {program}: "
          f"{len(image)} -> {len(out)} bytes")


if __name__ == "__main__":
    main()
