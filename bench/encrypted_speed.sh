#!/usr/bin/env bash
# Extraction speed of `quillpack extract` on encrypted archives next to unzip, 7z and bsdtar,
# and against itself on the same text unencrypted; archives made by make_archives.sh:
# one 256 MiB text-like file deflated by `zip -6`, the same file deflated and encrypted with
# AES-256 by 7z and with the traditional scheme by `zip -6 -P`, and 20,000 files of 0.5 to
# 8 KiB in 100 folders. The tools run alternately, five rounds each; the script prints the
# median times, quillpack's ratio to each peer, quillpack's peak resident memory, and for the
# encrypted archives quillpack's ratio to itself on the unencrypted one.
#
# usage: bench/extract_speed.sh [QUILLPACK_BINARY] [ROUNDS]
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
quillpack=${1:-$here/../build/native/bin/quillpack}
rounds=${2:-5}
[ -x "$quillpack" ] || { echo "quillpack binary not found: $quillpack" >&2; exit 2; }
for tool in zip unzip 7z bsdtar python3; do
  command -v "$tool" >/dev/null || { echo "missing tool: $tool" >&2; exit 2; }
done

work=$(mktemp -d "${TMPDIR:-/tmp}/qp-bench.XXXXXX")
trap 'rm -rf "$work"' EXIT

bash "$here/make_archives.sh" "$work" big encrypted small

python3 - "$work" "$quillpack" "$rounds" <<'PY'
import os, shutil, statistics, subprocess, sys, time
work, quillpack, rounds = sys.argv[1], sys.argv[2], int(sys.argv[3])
out = os.path.join(work, 'out')
# Every archive has the password "bench" where it has one; giving it to all is harmless.
tools = {
    'quillpack': lambda a: [quillpack, 'extract', a, '-d', out, '-o', 'always', '-p', 'bench'],
    'unzip':     lambda a: ['unzip', '-o', '-q', '-P', 'bench', a, '-d', out],
    '7z':        lambda a: ['7z', 'x', '-y', '-pbench', '-o' + out, a],
    'bsdtar':    lambda a: ['bsdtar', '--passphrase', 'bench', '-xf', a, '-C', out],
}
# Info-ZIP unzip does not read AES items.
skip = {('big-aes256.zip', 'unzip')}
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
plain_median = None
for archive in ('big.zip', 'big-aes256.zip', 'big-classic.zip', 'small.zip'):
    path = os.path.join(work, archive)
    runs = {t: argv for t, argv in tools.items() if (archive, t) not in skip}
    times = {t: [] for t in runs}
    peak = 0
    for _ in range(rounds):
        for name, argv in runs.items():  # alternating, so drift hits every tool alike
            elapsed, rss = run(argv(path), name == 'quillpack')
            times[name].append(elapsed)
            if name == 'quillpack':
                peak = max(peak, rss)
    med = {t: statistics.median(v) for t, v in times.items()}
    print('%s (median of %d):' % (archive, rounds))
    for t in runs:
        ratio = '' if t == 'quillpack' else '   quillpack/%s = %.2fx' % (t, med['quillpack'] / med[t])
        print('  %-10s %7.3f s%s' % (t, med[t], ratio))
    if archive == 'big.zip':
        plain_median = med['quillpack']
    elif archive.startswith('big-'):
        fastest = min((t for t in runs if t != 'quillpack'), key=lambda t: med[t])
        print('  quillpack encrypted/unencrypted = %.2fx   quillpack/fastest peer (%s) = %.2fx'
              % (med['quillpack'] / plain_median, fastest, med['quillpack'] / med[fastest]))
    print('  quillpack peak memory: %.1f MiB' % (peak / 1024) if peak else '  quillpack peak memory: (needs /usr/bin/time)')
shutil.rmtree(out, ignore_errors=True)
PY
