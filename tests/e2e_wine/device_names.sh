#!/usr/bin/env bash
# The Windows build of the tool against stored device names, under wine. Every such item is
# refused with the name in the message, nothing of its bytes reaches the console (where CON
# and CONOUT$ would send them), and nothing of that name is left in the destination.
set -uo pipefail
bin=$1
command -v wine >/dev/null || { echo "SKIP: no wine"; exit 77; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() {
  echo "FAIL: $*"
  exit 1
}

names=("CON" "CONOUT\$" "COM1" "com2.log" "LPT1.txt" "sub/lpt2.txt" "Com1 .txt" "nul.txt" "aux")
python3 - "$work/devices.zip" "${names[@]}" <<'PY' || fail "making the archive"
import sys, zipfile
with zipfile.ZipFile(sys.argv[1], "w") as z:
    for n in sys.argv[2:] + ["fine.txt"]:
        z.writestr(n, "secret-bytes-of " + n)
PY
mkdir "$work/out"
WINEDEBUG=-all wine "$bin/quillpack.exe" extract "Z:$work/devices.zip" -d "Z:$work/out" -o always \
  </dev/null >"$work/stdout" 2>"$work/err"
status=$?
[ "$status" -eq 1 ] || fail "status $status, expected 1: $(cat "$work/err")"
if grep -q "secret-bytes-of" "$work/stdout" "$work/err"; then fail "item bytes reached the console"; fi
for n in "${names[@]}"; do
  grep -qF "Cannot create file \"${n//\//\\}\"" "$work/err" || fail "no refusal naming $n: $(cat "$work/err")"
done
[ "$(cd "$work/out" && find . -mindepth 1)" = "./fine.txt" ] || fail "unexpected files: $(cd "$work/out" && find .)"
grep -q "${#names[@]} item(s) failed" "$work/err" || fail "count line: $(tail -1 "$work/err")"
echo "PASS"
