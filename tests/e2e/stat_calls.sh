#!/usr/bin/env bash
# Stat-family system calls per extracted file on Linux, counted by strace: at most two per
# file for 200 files in one folder and for 3,000 files written round-robin into 17 folders
# (as Python's zipfile leaves them when a program adds files in that order), plus a fixed
# allowance for start-up and the archive itself. Exits 77 (skipped) without a usable strace.
set -uo pipefail
bin=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() {
  echo "FAIL: $*"
  exit 1
}
command -v strace >/dev/null || { echo "strace missing: skipped"; exit 77; }
strace -f -o /dev/null true 2>/dev/null || { echo "strace cannot trace here: skipped"; exit 77; }

python3 - "$work" <<'PY' || fail "making the archives"
import sys, zipfile
work = sys.argv[1]
with zipfile.ZipFile(work + '/one.zip', 'w', zipfile.ZIP_DEFLATED) as z:
    for i in range(200):
        z.writestr('dir/f%03d.txt' % i, ('line %d\n' % i) * 50)
with zipfile.ZipFile(work + '/round.zip', 'w', zipfile.ZIP_DEFLATED) as z:
    for i in range(3000):
        z.writestr('top/sub%02d/f%04d.txt' % (i % 17, i), ('line %d\n' % i) * 20)
PY

# The stat-family calls of one extraction into a fresh folder.
stats() {
  rm -rf "$work/out"
  # LeakSanitizer cannot run under ptrace; the sanitizer build is traced without it.
  ASAN_OPTIONS=detect_leaks=0 strace -c -f -o "$work/counts" "$bin/quillpack" extract "$work/$1" -d "$work/out" -o always || fail "extract $1"
  # strace -c columns: % time, seconds, usecs/call, calls, [errors,] syscall.
  awk '$NF ~ /^(new)?(f|l)?stat(at)?(64)?$|^statx$/ { n += $4 } END { print n + 0 }' "$work/counts"
}

for case in "one.zip 200" "round.zip 3000"; do
  set -- $case
  n=$(stats "$1") || fail "$n"
  limit=$(( 2 * $2 + 100 ))
  echo "$1: $n stat-family calls for $2 files (limit $limit)"
  [ "$n" -le "$limit" ] || fail "$1: $n stat-family calls for $2 files"
done
echo "stat calls: ok"
