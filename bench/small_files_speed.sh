#!/usr/bin/env bash
# Extracting many small files: `quillpack extract` next to unzip and to a bare loop that only
# creates, writes, dates and closes the same files (bare_create_loop.cpp, compiled here; its
# own loop time, without start-up or reading its input), FILES files of 0.5 to 8 KiB in 100
# folders (default 20,000), ROUNDS alternating runs each; then the stat-family calls per file
# under strace. Prints the medians and the ratios.
#
# usage: bench/small_files_speed.sh [QUILLPACK_BINARY] [ROUNDS] [FILES]
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
quillpack=${1:-$here/../build/native/bin/quillpack}
rounds=${2:-5}
files=${3:-20000}
[ -x "$quillpack" ] || { echo "quillpack binary not found: $quillpack" >&2; exit 2; }
for tool in zip unzip python3 g++; do
  command -v "$tool" >/dev/null || { echo "missing tool: $tool" >&2; exit 2; }
done

work=$(mktemp -d "${TMPDIR:-/tmp}/qp-bench.XXXXXX")
trap 'rm -rf "$work"' EXIT
bash "$here/make_archives.sh" "$work" small "$files"
g++ -O2 -std=c++20 -o "$work/bare_create_loop" "$here/bare_create_loop.cpp"
unzip -Z1 "$work/small.zip" >"$work/names"
unzip -q "$work/small.zip" -d "$work/source"

python3 - "$work" "$quillpack" "$rounds" <<'PY'
import os, shutil, statistics, subprocess, sys, time
work, quillpack, rounds = sys.argv[1], sys.argv[2], int(sys.argv[3])
out = os.path.join(work, 'out')
archive = os.path.join(work, 'small.zip')
count = sum(1 for n in open(os.path.join(work, 'names')) if not n.strip().endswith('/'))
def fresh():
    shutil.rmtree(out, ignore_errors=True)
    os.makedirs(out)
    subprocess.run(['sync'])
def timed(argv):
    fresh()
    start = time.perf_counter()
    p = subprocess.run(argv, stdout=subprocess.PIPE, stderr=subprocess.PIPE)
    elapsed = time.perf_counter() - start
    if p.returncode != 0:
        sys.exit('%s failed: %s' % (argv[0], p.stderr.decode(errors='replace').strip()))
    return elapsed, p.stdout
times = {'quillpack': [], 'unzip': [], 'bare loop': []}
for _ in range(rounds):
    times['quillpack'].append(timed([quillpack, 'extract', archive, '-d', out, '-o', 'always'])[0])
    times['unzip'].append(timed(['unzip', '-o', '-q', archive, '-d', out])[0])
    _, printed = timed([os.path.join(work, 'bare_create_loop'), os.path.join(work, 'names'),
                        os.path.join(work, 'source'), out])
    times['bare loop'].append(float(printed.decode().strip()))
med = {t: statistics.median(v) for t, v in times.items()}
print('small.zip, %d files in 100 folders (median of %d):' % (count, rounds))
print('  %-10s %7.3f s   (its loop only)' % ('bare loop', med['bare loop']))
print('  %-10s %7.3f s   quillpack/bare loop = %.2fx' % ('quillpack', med['quillpack'], med['quillpack'] / med['bare loop']))
print('  %-10s %7.3f s   quillpack/unzip = %.2fx' % ('unzip', med['unzip'], med['quillpack'] / med['unzip']))
if shutil.which('strace'):
    fresh()
    counts = os.path.join(work, 'counts')
    subprocess.run(['strace', '-c', '-f', '-o', counts, quillpack, 'extract', archive, '-d', out, '-o', 'always'],
                   check=True, stdout=subprocess.DEVNULL)
    stats = 0
    for line in open(counts):
        f = line.split()
        if f and f[-1] in ('newfstatat', 'fstat', 'stat', 'lstat', 'statx', 'fstatat64', 'stat64', 'lstat64'):
            stats += int(f[3])
    print('  quillpack stat-family calls: %d for %d files (%.2f per file)' % (stats, count, stats / count))
PY
