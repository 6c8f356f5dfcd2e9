#!/usr/bin/env python3
"""Sums the bytes a GNU ld map file attributes to each input (library member or object) and
prints the largest contributors, grouped by library as well. Sections that take no room
in the file (.bss, debug information) are left out."""
import re
import sys
from collections import defaultdict

def main():
    if len(sys.argv) < 2:
        sys.exit("usage: map-sizes.py LINKER.map [COUNT]")
    count = int(sys.argv[2]) if len(sys.argv) > 2 else 15
    by_input = defaultdict(int)
    by_library = defaultdict(int)
    pending = None
    in_memory_map = False
    # An input section line: " .text  0xADDR  0xSIZE  input", possibly wrapped after its name.
    line_re = re.compile(r"^\s+(\.\S+)?\s*0x[0-9a-f]+\s+0x([0-9a-f]+)\s+(\S.*)$")
    for line in open(sys.argv[1], encoding="utf-8", errors="replace"):
        if line.startswith("Linker script and memory map"):
            in_memory_map = True
            continue
        if not in_memory_map:
            continue
        if re.match(r"^ \.\S+$", line.rstrip("\n")):
            pending = line.strip()
            continue
        m = line_re.match(line)
        if not m:
            pending = None
            continue
        section = m.group(1) or pending
        pending = None
        # Debug sections are stripped; .bss and common symbols take no room in the file.
        if not section or section.startswith((".debug", ".stab", ".bss", "COMMON")):
            continue
        size = int(m.group(2), 16)
        source = m.group(3).strip()
        if size == 0 or source.startswith("*"):
            continue
        by_input[source] += size
        library = source.split("(")[0] if "(" in source else "objects"
        by_library[library.rsplit("/", 1)[-1]] += size
    print("largest contributors (bytes in the file, before section alignment):")
    for source, size in sorted(by_input.items(), key=lambda kv: -kv[1])[:count]:
        print(f"  {size:8d}  {source.rsplit('/', 1)[-1]}")
    print("by library:")
    for library, size in sorted(by_library.items(), key=lambda kv: -kv[1])[:count]:
        print(f"  {size:8d}  {library}")

if __name__ == "__main__":
    main()
