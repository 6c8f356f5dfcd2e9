#!/usr/bin/env bash
# Extraction speed of `quillpack extract` next to unzip, 7z and bsdtar on archives made here:
#   big    one 256 MiB text-like file deflated by `zip -6`
#   small  20,000 files of 0.5 to 8 KiB in 100 folders (`zip -6`)
#   many   120 text-like files of 2 MB (`zip -6`), where workers decode items ahead
#   large  one 4.5 GiB item (a ZIP64 archive) deflated by `zip -1`, cheap to make, so the cost
#          per output byte (writing, checking, handing over) shows
# (made by make_archives.sh)
# The tools run alternately, ROUNDS rounds each; the script prints median wall and CPU (user +
# sys) times, CPU use (CPU over wall), quillpack's ratio to each peer for both, and peak
# resident memory. quillpack runs twice: as it is (one decode-ahead worker per further core)
# and as `quillpack-1` with QP_WORKERS=0, everything on one thread as before.
# The archives and the extracted files are removed at the end.
#
# usage: bench/extract_speed.sh [QUILLPACK_BINARY] [ROUNDS]
#   CASES="big small many large"  the cases to run (default all; large needs ~10 GiB of free space
#                            for a moment and about 10 s per tool and round)
#   OUT_DIR=/dev/shm/x       where the tools extract to (default a folder in the work folder);
#                            a RAM-backed folder takes the disk out of the wall times
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
quillpack=${1:-$here/../build/native/bin/quillpack}
rounds=${2:-5}
cases=${CASES:-big small many large}
[ -x "$quillpack" ] || { echo "quillpack binary not found: $quillpack" >&2; exit 2; }
for tool in zip unzip 7z bsdtar python3 /usr/bin/time; do
  command -v "$tool" >/dev/null || { echo "missing tool: $tool" >&2; exit 2; }
done

work=$(mktemp -d "${TMPDIR:-/tmp}/qp-bench.XXXXXX")
trap 'rm -rf "$work"' EXIT

archives=()
for c in $cases; do archives+=("$c.zip"); done
# shellcheck disable=SC2086  # one word per case
bash "$here/make_archives.sh" "$work" $cases

python3 - "$work" "$quillpack" "$rounds" "${OUT_DIR:-$work/out}" "${archives[@]}" <<'PY'
import os, shutil, statistics, subprocess, sys
work, quillpack, rounds, out = sys.argv[1], sys.argv[2], int(sys.argv[3]), sys.argv[4]
archives = sys.argv[5:]
tools = {
    'quillpack': lambda a: [quillpack, 'extract', a, '-d', out, '-o', 'always'],
    'quillpack-1': lambda a: ['env', 'QP_WORKERS=0', quillpack, 'extract', a, '-d', out, '-o', 'always'],
    'unzip':     lambda a: ['unzip', '-o', '-q', a, '-d', out],
    '7z':        lambda a: ['7z', 'x', '-y', '-o' + out, a],
    'bsdtar':    lambda a: ['bsdtar', '-xf', a, '-C', out],
}
# Wall time, CPU time and peak memory are taken by GNU time around the program: the rusage of
# a child forked from this Python process would report the interpreter's own pages copied
# into it before exec.
def run(argv):
    shutil.rmtree(out, ignore_errors=True)
    os.makedirs(out)
    subprocess.run(['sync'])
    argv = ['/usr/bin/time', '-f', 'qp-bench %e %U %S %M'] + argv
    p = subprocess.run(argv, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)
    err = p.stderr.decode(errors='replace')
    if p.returncode != 0:
        sys.exit('%s failed: %s' % (argv[4], err.strip()))
    for line in err.splitlines():
        if line.startswith('qp-bench '):
            wall, user, system, rss = line.split()[1:]
            return float(wall), float(user) + float(system), int(rss)
    sys.exit('no figures from GNU time: ' + err.strip())
for archive in archives:
    path = os.path.join(work, archive)
    wall = {t: [] for t in tools}
    cpu = {t: [] for t in tools}
    peak = {t: 0 for t in tools}
    for _ in range(rounds):
        for name, argv in tools.items():  # alternating, so drift hits every tool alike
            w, c, rss = run(argv(path))
            wall[name].append(w)
            cpu[name].append(c)
            peak[name] = max(peak[name], rss)
    mw = {t: statistics.median(v) for t, v in wall.items()}
    mc = {t: statistics.median(v) for t, v in cpu.items()}
    print('%s (median of %d; wall, CPU = user + sys):' % (archive, rounds))
    for t in tools:
        ratio = '' if t == 'quillpack' else '   quillpack/%s = %.2fx wall, %.2fx CPU' % (
            t, mw['quillpack'] / mw[t], mc['quillpack'] / mc[t] if mc[t] else float('nan'))
        print('  %-11s %7.3f s wall %7.3f s CPU %4.0f%% CPU use %6.1f MiB peak%s' % (
            t, mw[t], mc[t], 100 * mc[t] / mw[t] if mw[t] else 0, peak[t] / 1024, ratio))
shutil.rmtree(out, ignore_errors=True)
PY
