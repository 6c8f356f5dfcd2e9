#!/usr/bin/env bash
# The benchmark archives, made in WORK: big.zip, one 256 MiB text-like file deflated by
# `zip -6`, and small.zip, FILES small files of 0.5 to 8 KiB in 100 folders (default 20,000).
#
# usage: bench/make_archives.sh WORK [big] [small [FILES]]
set -euo pipefail
work=$1
shift
big=0
small=0
files=20000
while [ $# -gt 0 ]; do
  case $1 in
    big) big=1 ;;
    small) small=1; if [ $# -gt 1 ] && [ "$2" -eq "$2" ] 2>/dev/null; then files=$2; shift; fi ;;
    *) echo "unknown archive: $1" >&2; exit 2 ;;
  esac
  shift
done

echo "building the benchmark archives in $work ..." >&2
python3 - "$work" "$big" "$small" "$files" <<'PY'
import os, random, sys
work, big, small_wanted, files = sys.argv[1], sys.argv[2] == '1', sys.argv[3] == '1', int(sys.argv[4])
rng = random.Random(2026)
words = [''.join(rng.choice('etaoinshrdlucmfwypvbgkjqxz') for _ in range(rng.randint(2, 10)))
         for _ in range(5000)]
def text(size):
    out, n = [], 0
    while n < size:
        line = ' '.join(rng.choices(words, k=rng.randint(4, 14))) + '\n'
        out.append(line)
        n += len(line)
    return ''.join(out).encode()[:size]
# 256 MiB: rotations of a 4 MiB text, so no repeat lies within deflate's 32 KiB window.
if big:
    base = text(4 << 20)
    with open(os.path.join(work, 'big.txt'), 'wb') as f:
        for i in range(64):
            cut = rng.randrange(len(base))
            f.write(base[cut:] + base[:cut])
if small_wanted:
    small = os.path.join(work, 'small')
    per_folder = max(1, files // 100)
    for d in range(100):
        folder = os.path.join(small, 'dir%03d' % d)
        os.makedirs(folder)
        for i in range(per_folder):
            with open(os.path.join(folder, 'file%03d.txt' % i), 'wb') as f:
                f.write(text(rng.randint(512, 8192)))
PY
cd "$work"
if [ $big = 1 ]; then zip -6 -q big.zip big.txt && rm big.txt; fi
if [ $small = 1 ]; then zip -6 -q -r small.zip small && rm -rf small; fi
ls -l "$work"/*.zip >&2
