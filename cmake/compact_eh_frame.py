#!/usr/bin/env python3
"""Shrinks the exception-unwinding tables (.eh_frame) of a linked 32-bit PE program.

Two kinds of waste are taken out:

- GNU ld merges identical CIEs (the common part every FDE points to) only on ELF. On PE it
  keeps each input section's own CIE: the stub carried some 430 copies of the same two CIEs.
  One copy of each distinct CIE is kept and every FDE points at it.
- The compiler gives an FDE to every function, but the unwinder only ever looks up the frames
  that are on the stack while an exception passes: the unwinder's entry points themselves
  and every function that calls something an exception can come out of. A function that
  calls nothing of the kind (a leaf, or one that only calls system DLLs, which no C++
  exception can pass through, or other such functions) never is, and its FDE is dropped.
  The call graph comes from the program's disassembly. An exception can come out of the
  unwinder's entry points, of any indirect call or jump (its target is unknown), of code the
  disassembly does not cover cleanly, and of every function that calls or jumps to one of
  these; FDEs with language-specific data (catch or clean-up code) are always kept.

The section then gets shorter in the file, the sections after it move down in the file (their
addresses stay), and the header's sizes and checksum are brought up to date.

Only the records the program registers with the unwinder are touched: those from the start of
crtbegin.o's part of the section (its __EH_FRAME_BEGIN__, found through the linker map) up to
the zero terminator. Records before it (the C runtime's start-up object) are copied as they
are. Pointers in the tables are PC-relative (no base relocations point into the section; this
is checked), so moving a record means adjusting its PC-relative fields by the distance it
moved. After the rewrite every kept FDE is decoded again and must yield the same function
range, instructions, personality routine and language-specific data as before, or the program
is left untouched and the step fails.

Usage: compact_eh_frame.py PROGRAM.exe LINKER.map OBJDUMP
"""
import bisect
import os
import re
import struct
import subprocess
import sys

SECTION = b".eh_fram"  # section names in the PE header are cut to eight bytes


def fail(message):
    sys.exit(f"compact_eh_frame: {message}")


def leb128(data, pos, signed=False):
    """A LEB128 number at `pos` and the position after it."""
    result = shift = 0
    while True:
        byte = data[pos]
        pos += 1
        result |= (byte & 0x7F) << shift
        shift += 7
        if byte < 0x80:
            if signed and byte & 0x40:
                result -= 1 << shift
            return result, pos


# Pointer encodings GCC uses for 32-bit targets: absolute, or relative to the field, in four
# bytes; 0x80 (indirect) only says the target holds the pointer. Anything else is refused.
def check_pointer_encoding(encoding):
    if encoding & 0x0F not in (0x00, 0x03, 0x0B) or encoding & 0x70 not in (0x00, 0x10):
        fail(f"pointer encoding {encoding:#x} is not handled")


def is_pc_relative(encoding):
    return encoding & 0x70 == 0x10


def read_pointer(data, pos, encoding, address):
    """The pointer's target (None for 0, which means "none") and the position after it."""
    check_pointer_encoding(encoding)
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
        _, pos = leb128(data, pos)  # code alignment
        _, pos = leb128(data, pos, signed=True)  # data alignment
        if self.version == 1:
            pos += 1
        else:
            _, pos = leb128(data, pos)
        self.fde_encoding = 0x00
        self.lsda_encoding = None
        self.personality = None
        self.personality_field = None
        if self.augmentation.startswith("z"):
            _, pos = leb128(data, pos)
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
            length, aug_start = leb128(data, pos)
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


# The unwinder's entry points: every C++ exception starts its way up the stack in one of them
# (throw and rethrow through the first three, clean-up code resumes through the others).
UNWINDER_ENTRY_POINTS = ("_Unwind_RaiseException", "_Unwind_Resume", "_Unwind_Resume_or_Rethrow",
                         "_Unwind_ForcedUnwind", "_Unwind_Backtrace", "__cxa_throw", "__cxa_rethrow")


def unwinder_entry_points(map_path):
    pattern = re.compile(r"^\s+0x([0-9a-f]+)\s+(\S+)\s*$")
    found = set()
    for line in open(map_path, encoding="utf-8", errors="replace"):
        match = pattern.match(line)
        if match and match.group(2) in UNWINDER_ENTRY_POINTS:
            found.add(int(match.group(1), 16))
    if not found:
        fail(f"{map_path} names none of the unwinder's entry points")
    return found


def disassemble(objdump, program):
    """Address -> (mnemonic, operands) of every instruction in the program's code."""
    listing = subprocess.run([objdump, "-d", "--no-show-raw-insn", program], check=True,
                             capture_output=True, text=True).stdout
    instruction = re.compile(r"^\s+([0-9a-f]+):\s+(\S+)\s*([^#<]*)")
    code = {}
    for line in listing.splitlines():
        match = instruction.match(line)
        if match:
            code[int(match.group(1), 16)] = (match.group(2), match.group(3).strip())
    return code


def frames_never_unwound(fdes, code, entry_points, import_table):
    """The FDEs whose function can never be on the stack while an exception passes."""
    fdes = sorted(fdes, key=lambda f: f.pc_begin)
    starts = [f.pc_begin for f in fdes]
    addresses = sorted(code)

    def function_at(address):
        index = bisect.bisect_right(starts, address) - 1
        if index >= 0 and address < fdes[index].pc_begin + fdes[index].pc_range:
            return index
        return None

    def is_import(operand):
        match = re.fullmatch(r"\*0x([0-9a-f]+)", operand)
        return bool(match) and import_table[0] <= int(match.group(1), 16) < import_table[1]

    def direct_target(operand):
        match = re.fullmatch(r"(?:0x)?([0-9a-f]+)", operand)
        return int(match.group(1), 16) if match else None

    count = len(fdes)
    calls = [[] for _ in range(count)]  # targets of direct calls
    jumps = [[] for _ in range(count)]  # targets of direct jumps out of the function
    throws = [False] * count  # an exception can come out of a call to the function
    needed = [False] * count  # the function's frame can be on the stack under a throw
    for index, fde in enumerate(fdes):
        begin, end = fde.pc_begin, fde.pc_begin + fde.pc_range
        first = bisect.bisect_left(addresses, begin)
        last = bisect.bisect_left(addresses, end)
        # The listing must start an instruction at both ends of the function, or it is not
        # trusted to show every call in it.
        clean = first < len(addresses) and addresses[first] == begin and (
            last == len(addresses) or addresses[last] == end)
        if begin in entry_points or not clean or fde.lsda is not None:
            throws[index] = needed[index] = True
            continue
        for address in addresses[first:last]:
            mnemonic, operand = code[address]
            target = direct_target(operand)
            if mnemonic in ("call", "calll"):
                if target is not None:
                    calls[index].append(target)
                elif not is_import(operand):
                    throws[index] = needed[index] = True
            elif mnemonic.startswith("j"):
                if target is not None:
                    if not begin <= target < end:
                        jumps[index].append(target)
                elif not is_import(operand) and "(," not in operand:
                    # An indexed jump is a switch within the function; any other indirect
                    # jump leaves for somewhere unknown.
                    throws[index] = True
            elif mnemonic in ("(bad)", "lcall", "ljmp", "int", "int3", "into", "sysenter", "syscall"):
                throws[index] = needed[index] = True

    def target_throws(target):
        index = function_at(target)
        if index is None:
            # Outside every FDE: only an import thunk (a jump through the import table) is
            # known not to let an exception out.
            mnemonic, operand = code.get(target, ("", ""))
            return not (mnemonic == "jmp" and is_import(operand))
        return fdes[index].pc_begin != target or throws[index]

    changed = True
    while changed:
        changed = False
        for index in range(count):
            if not throws[index] and any(map(target_throws, calls[index] + jumps[index])):
                throws[index] = changed = True
    for index in range(count):
        needed[index] = needed[index] or any(map(target_throws, calls[index]))
    return {fdes[index].start for index in range(count) if not needed[index]}


def compact(data, begin, address, read_word, unneeded):
    """The section with one copy of each CIE and without the FDEs that start at an offset in
    `unneeded` (a function of the parsed records); also how many CIEs and FDEs were dropped."""
    records, terminator = parse(data, begin, address, read_word)
    dropped_fdes = unneeded([r for r in records if isinstance(r, Fde)])
    out = bytearray(data[:begin])
    placed = {}  # CIE key -> offset of the copy that is kept
    kept = []
    for record in records:
        if isinstance(record, Cie) or record.start in dropped_fdes:
            continue
        cie = record.cie
        if cie.key not in placed:
            placed[cie.key] = len(out)
            out += cie.bytes
            if cie.personality_field:
                offset, encoding = cie.personality_field
                write_pointer(out, placed[cie.key] + offset, encoding, address, cie.personality)
        pos = len(out)
        out += record.bytes
        struct.pack_into("<I", out, pos + 4, pos + 4 - placed[cie.key])
        write_pointer(out, pos + 8, cie.fde_encoding, address, record.pc_begin)
        if record.lsda_field is not None:
            write_pointer(out, pos + record.lsda_field, cie.lsda_encoding, address, record.lsda)
        kept.append(record)
    out += data[terminator:terminator + 4]
    # Decode again: every kept FDE must mean what it meant, in the same order.
    check, _ = parse(bytes(out), begin, address, read_word)
    before = [r.meaning() for r in kept]
    after = [r.meaning() for r in check if isinstance(r, Fde)]
    if before != after:
        fail("the rewritten tables do not decode to the same frames; program left as it was")
    cies = sum(isinstance(r, Cie) for r in records)
    return bytes(out), cies - len(placed), len(dropped_fdes)


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
    if len(sys.argv) != 4:
        sys.exit(__doc__.strip().splitlines()[-1])
    program, map_path, objdump = sys.argv[1:]
    image = bytearray(open(program, "rb").read())
    pe = struct.unpack_from("<I", image, 0x3C)[0]
    if image[pe:pe + 4] != b"PE\0\0":
        fail(f"{program} is not a PE program")
    sections_count = struct.unpack_from("<H", image, pe + 6)[0]
    optional_size = struct.unpack_from("<H", image, pe + 20)[0]
    # An unstripped program (the tests) keeps its symbol and string tables after the sections.
    symbols_pointer, symbols_count = struct.unpack_from("<II", image, pe + 12)
    strings_pointer = symbols_pointer + 18 * symbols_count
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
        if name.startswith(b"/") and symbols_pointer:
            # A long name, kept in the string table.
            start = strings_pointer + int(name[1:].rstrip(b"\0"))
            name = bytes(image[start:image.index(b"\0", start)])[:8]
        virtual_size, rva, raw_size, raw_pointer = struct.unpack_from("<IIII", image, header + 8)
        sections.append((header, name, virtual_size, rva, raw_size, raw_pointer))
    eh = [s for s in sections if s[1] == SECTION]
    if len(eh) != 1:
        fail("no .eh_frame section")
    header, _, virtual_size, rva, raw_size, raw_pointer = eh[0]
    end_of_sections = max(s[5] + s[4] for s in sections)
    if end_of_sections != (symbols_pointer or len(image)):
        fail("data follows the last section; compact the program before anything is appended")

    def file_offset(target_rva, size):
        """Where `size` bytes at an address relative to the image lie in the file, or None."""
        for s in sections:
            offset = target_rva - s[3]
            if 0 <= offset <= min(s[2], s[4]) - size:
                return s[5] + offset
        return None

    # No base relocation may point into the tables: a moved record would carry it wrongly.
    pos = 0
    reloc_at = file_offset(reloc_rva, reloc_size) if reloc_size else None
    reloc_data = image[reloc_at:reloc_at + reloc_size] if reloc_at is not None else b""
    while pos + 8 <= len(reloc_data):
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
        at = file_offset(target - image_base, 4)
        if at is None:
            fail(f"the personality slot at {target:#x} is not in the file")
        return struct.unpack_from("<I", image, at)[0]

    import_rva, import_size = struct.unpack_from("<II", image, directories + 12 * 8)
    import_table = (image_base + import_rva, image_base + import_rva + import_size)
    entry_points = unwinder_entry_points(map_path)
    code = disassemble(objdump, program)

    def unneeded(fdes):
        return frames_never_unwound(fdes, code, entry_points, import_table)

    compacted, dropped_cies, dropped_fdes = compact(data, begin, address, read_word, unneeded)
    new_raw = -(-len(compacted) // file_alignment) * file_alignment
    shift = raw_size - new_raw
    if shift < 0:
        fail("the tables grew")

    out = bytearray(image[:raw_pointer])
    out += compacted + b"\0" * (new_raw - len(compacted))
    out += image[raw_pointer + raw_size:]
    struct.pack_into("<I", out, header + 8, len(compacted))
    struct.pack_into("<I", out, header + 16, new_raw)
    for other_header, _, _, _, _, other_pointer in sections:
        if other_pointer > raw_pointer:
            struct.pack_into("<I", out, other_header + 20, other_pointer - shift)
    if symbols_pointer:
        struct.pack_into("<I", out, pe + 12, symbols_pointer - shift)
    initialized = struct.unpack_from("<I", out, optional + 8)[0]
    struct.pack_into("<I", out, optional + 8, initialized - shift)
    checksum_offset = optional + 64
    if struct.unpack_from("<I", out, checksum_offset)[0]:
        struct.pack_into("<I", out, checksum_offset, pe_checksum(bytes(out), checksum_offset))
    open(program, "wb").write(out)
    print(f"compact_eh_frame: {dropped_cies} duplicate CIEs and {dropped_fdes} FDEs of frames "
          f"never unwound dropped, .eh_frame {virtual_size} -> {len(compacted)} bytes, "
          f"{os.path.basename(program)}: {len(image)} -> {len(out)} bytes")


if __name__ == "__main__":
    main()
