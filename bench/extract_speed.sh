#!/usr/bin/env bash
# Extraction speed of `quillpack extract` next to unzip, 7z and bsdtar on two archives made
# here: one 256 MiB text-like file deflated by `zip -6`, and 20,000 files of 0.5 to 8 KiB in
# 100 folders. The tools run alternately, five rounds each; the script prints the median
# times, quillpack's ratio to each peer, and quillpack's peak resident memory.
#
# usage: bench/extract_speed.sh [QUILLPACK_BINARY] [ROUNDS]
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
quillpack=${1:-$here/../build/bin/quillpack}
rounds=${2:-5}
[ -x "$quillpack" ] || { echo "quillpack binary not found: $quillpack" >&2; exit 2; }
for tool in zip unzip 7z bsdtar python3; do
  command -v "$tool" >/dev/null || { echo "missing tool: $tool" >&2; exit 2; }
done

work=$(mktemp -d "${TMPDIR:-/tmp}/qp-bench.XXXXXX")
trap 'rm -rf "$work"' EXIT

bash "$here/make_archives.sh" "$work" big small

python3 - "$work" "$quillpack" "$rounds" <<'PY'
import os, shutil, statistics, subprocess, sys, time
work, quillpack, rounds = sys.argv[1], sys.argv[2], int(sys.argv[3])
out = os.path.join(work, 'out')
tools = {
    'quillpack': lambda a: [quillpack, 'extract', a, '-d', out, '-o', 'always'],
    'unzip':     lambda a: ['unzip', '-o', '-q', a, '-d', out],
    '7z':        lambda a: ['7z', 'x', '-y', '-o' + out, a],
    'bsdtar':    lambda a: ['bsdtar', '-xf', a, '-C', out],
}
# The peak memory is taken by GNU time around the program: the rusage of a child forked from
# this Python process would report the interpreter's own pages copied into it before exec.
gnu_time = '/usr/bin/time' if os.access('/usr/bin/time', os.X_OK) else None
def run(argv, measure_memory=False):
    shutil.rmtree(out, ignore_errors=True)
    os.makedirs(out)
    subprocess.run(['sync'])
    if measure_memory and gnu_time:
        argv = [gnu_time, '-f', 'maxrss-kib %M'] + argv
    start = time.perf_counter()
    p = subprocess.run(argv, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)
    elapsed = time.perf_counter() - start
    err = p.stderr.decode(errors='replace')
    if p.returncode != 0:
        sys.exit('%s failed: %s' % (argv[0], err.strip()))
    rss = 0
    for line in err.splitlines():
        if line.startswith('maxrss-kib '):
            rss = int(line.split()[1])
    return elapsed, rss
for archive in ('big.zip', 'small.zip'):
    path = os.path.join(work, archive)
    times = {t: [] for t in tools}
    peak = 0
    for _ in range(rounds):
        for name, argv in tools.items():  # alternating, so drift hits every tool alike
            elapsed, rss = run(argv(path), name == 'quillpack')
            times[name].append(elapsed)
            if name == 'quillpack':
                peak = max(peak, rss)
    med = {t: statistics.median(v) for t, v in times.items()}
    print('%s (median of %d):' % (archive, rounds))
    for t in tools:
        ratio = '' if t == 'quillpack' else '   quillpack/%s = %.2fx' % (t, med['quillpack'] / med[t])
        print('  %-10s %7.3f s%s' % (t, med[t], ratio))
    print('  quillpack peak memory: %.1f MiB' % (peak / 1024) if peak else '  quillpack peak memory: (needs /usr/bin/time)')
shutil.rmtree(out, ignore_errors=True)
PY
