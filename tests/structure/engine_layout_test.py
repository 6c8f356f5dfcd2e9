#!/usr/bin/env python3
"""The engine's layout rules, checked over the sources: the folders of archive/ form layers
(a file includes only its own folder's headers and those of lower folders), and no function
of the engine runs over 60 lines, so that each one can be read at a glance.

usage: engine_layout_test.py SOURCE_ROOT"""
import os
import re
import sys

# Lowest first: the vocabulary every part speaks, the records, streams, encryption, the
# directory, the archive source, one run of extraction, and the component on top.
LAYERS = ['base', 'format', 'io', 'crypt', 'directory', 'source', 'extract', 'component']
MAX_FUNCTION_LINES = 60
INCLUDE = re.compile(r'^\s*#\s*include\s+"archive/([a-z_]+)/')


def strip(line):
    line = re.sub(r'//.*', '', line)
    line = re.sub(r'"(\\.|[^"\\])*"', '""', line)
    return re.sub(r"'(\\.|[^'\\])+'", "''", line)


def long_functions(path):
    """(first line, length) of every brace block at namespace level that is a function body."""
    lines = open(path, encoding='utf-8').read().split('\n')
    found, depth, scopes, start = [], 0, [], None
    for number, raw in enumerate(lines, 1):
        line = strip(raw)
        for ch in line:
            if ch == '{':
                if start is None and depth == len(scopes):
                    head = line.split('{')[0]
                    if re.search(r'\b(namespace|extern)\b', head) or re.search(r'\b(class|struct|union|enum)\b', head) and ')' not in head:
                        scopes.append(depth)
                    else:
                        start = number
                depth += 1
            elif ch == '}':
                depth -= 1
                if start is not None and depth == len(scopes):
                    if number - start + 1 > MAX_FUNCTION_LINES:
                        found.append((start, number - start + 1))
                    start = None
                elif scopes and depth == scopes[-1]:
                    scopes.pop()
    return found


def main():
    root = os.path.join(sys.argv[1], 'archive')
    faults = []
    for folder in sorted(os.listdir(root)):
        here = os.path.join(root, folder)
        if not os.path.isdir(here):
            continue
        if folder not in LAYERS:
            faults.append('archive/%s: a folder outside the layers %s' % (folder, LAYERS))
            continue
        for name in sorted(os.listdir(here)):
            if not name.endswith(('.h', '.cpp')):
                continue
            path = os.path.join(here, name)
            shown = 'archive/%s/%s' % (folder, name)
            for number, line in enumerate(open(path, encoding='utf-8'), 1):
                m = INCLUDE.match(line)
                if m and m.group(1) in LAYERS and LAYERS.index(m.group(1)) > LAYERS.index(folder):
                    faults.append('%s:%d includes the higher folder %s/' % (shown, number, m.group(1)))
            if name.endswith('.cpp'):
                for first, length in long_functions(path):
                    faults.append('%s:%d: a function of %d lines (at most %d)' % (shown, first, length, MAX_FUNCTION_LINES))
    for fault in faults:
        print(fault)
    print('%d fault(s)' % len(faults))
    return 1 if faults else 0


if __name__ == '__main__':
    sys.exit(main())
