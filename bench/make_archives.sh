#!/usr/bin/env bash
# The benchmark archives, made in WORK:
#   big        big.zip, one 256 MiB text-like file deflated by `zip -6`
#   encrypted  the same file deflated and encrypted with the password "bench": big-classic.zip
#              by `zip -6 -P` (the traditional scheme), big-aes256.zip by 7z (AES-256)
#   small      small.zip, FILES small files of 0.5 to 8 KiB in 100 folders (default 20,000)
#   many       many.zip, 120 text-like files of 2 MB each (240 MB) deflated by `zip -6`: a
#              software package's worth of middle-sized items, where workers decode ahead
#   large      large.zip, one 4.5 GiB item (ZIP64) by `zip -1`: a 16 KiB pseudo-random block
#              repeated, so output is cheap to make and the cost per output byte shows
#
# usage: bench/make_archives.sh WORK [big] [encrypted] [small [FILES]] [many] [large]
set -euo pipefail
work=$1
shift
big=0
encrypted=0
small=0
large=0
many=0
files=20000
while [ $# -gt 0 ]; do
  case $1 in
    big) big=1 ;;
    encrypted) encrypted=1 ;;
    large) large=1 ;;
    many) many=1 ;;
    small) small=1; if [ $# -gt 1 ] && [ "$2" -eq "$2" ] 2>/dev/null; then files=$2; shift; fi ;;
    *) echo "unknown archive: $1" >&2; exit 2 ;;
  esac
  shift
done

echo "building the benchmark archives in $work ..." >&2
text_wanted=$((big | encrypted))
python3 - "$work" "$text_wanted" "$small" "$files" "$large" "$many" <<'PY'
import os, random, sys
work, big, small_wanted, files = sys.argv[1], sys.argv[2] == '1', sys.argv[3] == '1', int(sys.argv[4])
large = sys.argv[5] == '1'
many = sys.argv[6] == '1'
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
# 120 slices of 2 MB from rotations of a 4 MiB text.
if many:
    base = text(4 << 20)
    os.makedirs(os.path.join(work, 'many'))
    for i in range(120):
        cut = rng.randrange(len(base))
        rotated = base[cut:] + base[:cut]
        with open(os.path.join(work, 'many', 'part%03d.txt' % i), 'wb') as f:
            f.write(rotated[:2000000])
if small_wanted:
    small = os.path.join(work, 'small')
    per_folder = max(1, files // 100)
    for d in range(100):
        folder = os.path.join(small, 'dir%03d' % d)
        os.makedirs(folder)
        for i in range(per_folder):
            with open(os.path.join(folder, 'file%03d.txt' % i), 'wb') as f:
                f.write(text(rng.randint(512, 8192)))
if large:
    block = bytes(rng.randrange(256) for _ in range(16 << 10))
    pattern = block * 64
    with open(os.path.join(work, 'large.bin'), 'wb') as f:
        for i in range(4608):  # 4.5 GiB
            f.write(pattern)
PY
cd "$work"
if [ $big = 1 ]; then zip -6 -q big.zip big.txt; fi
if [ $encrypted = 1 ]; then
  zip -6 -q -P bench big-classic.zip big.txt
  7z a -bso0 -bsp0 -tzip -mem=AES256 -pbench big-aes256.zip big.txt
fi
rm -f big.txt
if [ $small = 1 ]; then zip -6 -q -r small.zip small && rm -rf small; fi
if [ $many = 1 ]; then zip -6 -q -r many.zip many && rm -rf many; fi
if [ $large = 1 ]; then zip -1 -q large.zip large.bin && rm large.bin; fi
ls -l "$work"/*.zip >&2
