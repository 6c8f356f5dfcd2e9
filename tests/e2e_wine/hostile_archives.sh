#!/usr/bin/env bash
# The Windows build of the tool against archives crafted to cost more than they hold, under
# wine: a name of 30,000 folder levels fails at once in little memory (folder creation is one
# pass, and no path that long can exist), and items that share bytes are refused at open.
# Each run is bounded by a time-out and an address-space limit.
set -uo pipefail
bin=$1
command -v wine >/dev/null || { echo "SKIP: no wine"; exit 77; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() {
  echo "FAIL: $*"
  exit 1
}
python3 - "$work" <<'PY' || fail "making the archives"
import struct, sys, zipfile
work = sys.argv[1]
with zipfile.ZipFile(work + "/deep.zip", "w") as z:
    z.writestr("d/" * 30000 + "x.txt", "x")
    z.writestr("ok.txt", "fine")
with zipfile.ZipFile(work + "/shared.zip", "w") as z:
    z.writestr("a.txt", "alpha" * 100)
    z.writestr("b.txt", "beta")
raw = bytearray(open(work + "/shared.zip", "rb").read())
second = raw.index(b"PK\1\2", raw.index(b"PK\1\2") + 4)
raw[second + 42:second + 46] = struct.pack("<I", 0)  # b.txt names a.txt's local header
open(work + "/shared.zip", "wb").write(raw)
PY
run() {
  timeout 120 bash -c 'ulimit -v 4000000; exec "$@"' run env WINEDEBUG=-all wine "$@" </dev/null
}

start=$(date +%s%N)
run "$bin/quillpack.exe" extract "Z:$work/deep.zip" -d "Z:$work/out" -o always >/dev/null 2>"$work/err"
status=$?
[ "$status" -ne 124 ] || fail "30,000 folder levels ran out of time"
[ "$status" -eq 1 ] || fail "deep.zip: status $status, expected 1: $(tail -c 300 "$work/err")"
grep -q "Native error: 00020" "$work/err" || fail "deep.zip: no folder refusal: $(tail -c 300 "$work/err")"
[ "$(cat "$work/out/ok.txt")" = "fine" ] || fail "deep.zip: the item after the deep one is missing"
echo "30,000 folder levels under wine: $(( ($(date +%s%N) - start) / 1000000 )) ms"

run "$bin/quillpack.exe" test "Z:$work/shared.zip" >"$work/out.txt" 2>"$work/err"
status=$?
[ "$status" -eq 1 ] || fail "shared.zip: status $status: $(cat "$work/out.txt" "$work/err")"
grep -q "overlapping items, possible zip bomb - Native error: 00048" "$work/err" ||
  fail "shared.zip: no reason given: $(cat "$work/err")"
echo "hostile archives under wine: all checks passed"
