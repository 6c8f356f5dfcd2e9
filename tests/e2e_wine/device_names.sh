#!/usr/bin/env bash
# The Windows build of the tool against stored device names, under wine, with wine's device
# links pointed at scratch files: a byte written to COM1 or LPT2 would show there. Every such
# item must be refused, and the scratch files stay empty.
set -uo pipefail
bin=$1
prefix=${WINEPREFIX:-$HOME/.wine}
command -v wine >/dev/null && [ -d "$prefix/dosdevices" ] || { echo "SKIP: no wine prefix"; exit 77; }
work=$(mktemp -d)
devices=(com1 com2 lpt1 lpt2)
restore() {
  for d in "${devices[@]}"; do
    rm -f "$prefix/dosdevices/$d"
    [ -e "$work/saved-$d" ] && mv "$work/saved-$d" "$prefix/dosdevices/$d"
  done
  rm -rf "$work"
}
trap restore EXIT
fail() {
  echo "FAIL: $*"
  exit 1
}
for d in "${devices[@]}"; do
  [ -L "$prefix/dosdevices/$d" ] && mv "$prefix/dosdevices/$d" "$work/saved-$d"
  : >"$work/dev-$d"
  ln -s "$work/dev-$d" "$prefix/dosdevices/$d"
done

python3 - "$work/devices.zip" <<'PY' || fail "making the archive"
import sys, zipfile
with zipfile.ZipFile(sys.argv[1], "w") as z:
    for n in ["COM1", "com2.log", "LPT1.txt", "sub/lpt2.txt", "Com1 .txt", "fine.txt"]:
        z.writestr(n, "bytes for " + n)
PY
mkdir "$work/out"
WINEDEBUG=-all wine "$bin/quillpack.exe" extract "Z:$work/devices.zip" -d "Z:$work/out" -o always \
  </dev/null >"$work/stdout" 2>"$work/err"
status=$?
[ "$status" -eq 1 ] || fail "status $status, expected 1: $(cat "$work/err")"
for d in "${devices[@]}"; do
  [ ! -s "$work/dev-$d" ] || fail "bytes reached the device $d: $(cat "$work/dev-$d")"
done
[ "$(cat "$work/out/fine.txt")" = "bytes for fine.txt" ] || fail "fine.txt not written"
grep -q '5 item(s) failed' "$work/err" || fail "count line: $(tail -1 "$work/err")"
echo "PASS"
