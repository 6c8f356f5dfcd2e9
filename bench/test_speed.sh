#!/usr/bin/env bash
# Speed of `quillpack test` next to `unzip -t` on the 256 MiB text-like file deflated by
# `zip -6` (see make_archives.sh). The two run alternately, ROUNDS times each; the script
# prints the median times and quillpack's ratio to unzip.
#
# usage: bench/test_speed.sh [QUILLPACK_BINARY] [ROUNDS]
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
quillpack=${1:-$here/../build/native/bin/quillpack}
rounds=${2:-5}
[ -x "$quillpack" ] || { echo "quillpack binary not found: $quillpack" >&2; exit 2; }
for tool in zip unzip python3; do
  command -v "$tool" >/dev/null || { echo "missing tool: $tool" >&2; exit 2; }
done

work=$(mktemp -d "${TMPDIR:-/tmp}/qp-bench.XXXXXX")
trap 'rm -rf "$work"' EXIT
bash "$here/make_archives.sh" "$work" big

python3 - "$work/big.zip" "$quillpack" "$rounds" <<'PY'
import statistics, subprocess, sys, time
archive, quillpack, rounds = sys.argv[1], sys.argv[2], int(sys.argv[3])
tools = {'quillpack test': [quillpack, 'test', archive], 'unzip -t': ['unzip', '-tqq', archive]}
times = {t: [] for t in tools}
for _ in range(rounds):
    for name, argv in tools.items():  # alternating, so drift hits both alike
        start = time.perf_counter()
        p = subprocess.run(argv, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)
        times[name].append(time.perf_counter() - start)
        if p.returncode != 0:
            sys.exit('%s failed (%d): %s' % (name, p.returncode, p.stderr.decode(errors='replace').strip()))
med = {t: statistics.median(v) for t, v in times.items()}
print('big.zip, 256 MiB text (median of %d):' % rounds)
for t in tools:
    print('  %-15s %7.3f s' % (t, med[t]))
print('  quillpack test / unzip -t = %.2fx' % (med['quillpack test'] / med['unzip -t']))
PY
