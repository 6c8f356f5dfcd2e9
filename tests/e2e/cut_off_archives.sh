#!/usr/bin/env bash
# Cut-off and damaged archives through the tool: copies of an Info-ZIP archive that end at
# every record boundary and inside each record (local header, data, data descriptor, central
# directory, end record) make `test` and `extract` say that the directory was rebuilt and exit
# 1, while what is there is still extracted; an entry that cannot be read (a name or extra
# length running past the file, an end record that counts more or fewer entries than the
# directory holds) does the same; the whole
# archive passes with 0; masks that select nothing exit 1.
set -uo pipefail
bin=$1
if ! command -v zip >/dev/null; then
  echo "SKIP: no zip"
  exit 77
fi
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() {
  echo "FAIL: $*"
  exit 1
}
q="$bin/quillpack"

mkdir -p "$work/src/sub"
printf 'first item\n' >"$work/src/one.txt"
seq 1 3000 >"$work/src/sub/two.txt"
head -c 4000 /dev/urandom >"$work/src/three.bin"
(cd "$work/src" && zip -q -X ../whole.zip one.txt sub/two.txt three.bin) || fail "zip failed"
# A streamed copy: data descriptors after each item.
(cd "$work/src" && zip -q -X -fd ../streamed.zip one.txt sub/two.txt three.bin) || fail "zip -fd failed"

"$q" test "$work/whole.zip" >"$work/out" </dev/null || fail "the whole archive fails its test: $(cat "$work/out")"
"$q" extract "$work/whole.zip" -d "$work/x" </dev/null 2>"$work/err" || fail "the whole archive: $(cat "$work/err")"

# The cut points: every record start, one byte and 20 bytes into it, the middle of each record
# with what follows it, and one byte short of the end.
python3 - "$work/whole.zip" "$work/streamed.zip" >"$work/cuts" <<'PY' || fail "finding the records"
import sys
for path in sys.argv[1:]:
    data = open(path, "rb").read()
    starts = sorted(p for sig in (b"PK\x03\x04", b"PK\x07\x08", b"PK\x01\x02", b"PK\x05\x06")
                    for p in range(len(data)) if data.startswith(sig, p))
    cuts = {len(data) - 1}
    for i, s in enumerate(starts):
        nxt = starts[i + 1] if i + 1 < len(starts) else len(data)
        cuts.update({s, s + 1, s + 20, (s + nxt) // 2})
    first_complete_header = starts[0] + 30
    for c in sorted(cuts):
        if 0 < c < len(data):
            print(path, c, "opens" if c >= first_complete_header else "fails")
PY
count=0
while read -r archive cut outcome; do
  count=$((count + 1))
  head -c "$cut" "$archive" >"$work/cut.zip"
  rm -rf "$work/x"
  "$q" test "$work/cut.zip" >"$work/out" 2>&1 </dev/null
  rc_test=$?
  "$q" extract "$work/cut.zip" -d "$work/x" -o always >/dev/null 2>"$work/err" </dev/null
  rc_extract=$?
  where="$(basename "$archive") cut at $cut"
  [ $rc_test -eq 1 ] || fail "$where: test exits $rc_test: $(cat "$work/out")"
  [ $rc_extract -eq 1 ] || fail "$where: extract exits $rc_extract: $(cat "$work/err")"
  if [ "$outcome" = opens ]; then
    grep -q "cut off" "$work/out" || fail "$where: test does not say so: $(cat "$work/out")"
    [ "$(grep -c "cut off" "$work/err")" -eq 1 ] || fail "$where: extract does not say so once: $(cat "$work/err")"
    # The first item is whole in every copy that holds its header and data.
    if [ "$cut" -gt 100 ] && [ "$(basename "$archive")" = whole.zip ]; then
      cmp -s "$work/src/one.txt" "$work/x/one.txt" || fail "$where: the first item was not recovered"
    fi
  else
    grep -q "Native error: 00035" "$work/out" || fail "$where: test gave $(cat "$work/out")"
  fi
done <"$work/cuts"
[ $count -ge 40 ] || fail "only $count cut points"

# A cut inside the last item's data: that item fails, and its line names it (not every engine
# message does).
directory=$(python3 -c 'import sys; print(open(sys.argv[1], "rb").read().find(b"PK\x01\x02"))' "$work/whole.zip")
head -c "$((directory - 10))" "$work/whole.zip" >"$work/cut.zip"
rm -rf "$work/x"
"$q" extract "$work/cut.zip" -d "$work/x" >/dev/null 2>"$work/err" </dev/null
grep -q "^three.bin: .*Native error: 00008" "$work/err" || fail "the failing item is not named: $(cat "$work/err")"
[ ! -e "$work/x/three.bin" ] || fail "the cut item was kept"

# Entries that cannot be read: the end record is there, the directory is rebuilt.
python3 - "$work/whole.zip" "$work" <<'PY' || fail "making damaged copies"
import struct, sys
data = bytearray(open(sys.argv[1], "rb").read())
out = sys.argv[2]
last = data.rfind(b"PK\x01\x02")
end = data.rfind(b"PK\x05\x06")
name = bytearray(data); struct.pack_into("<H", name, last + 28, 0xFFFF)
extra = bytearray(data); struct.pack_into("<H", extra, last + 30, 0xFFFF)
count = bytearray(data); struct.pack_into("<HH", count, end + 8, 9, 9)
fewer = bytearray(data); struct.pack_into("<HH", fewer, end + 8, 2, 2)
for label, bytes_ in (("name", name), ("extra", extra), ("count", count), ("fewer", fewer)):
    open(f"{out}/damaged-{label}.zip", "wb").write(bytes_)
PY
for label in name extra count fewer; do
  archive="$work/damaged-$label.zip"
  rm -rf "$work/x"
  "$q" test "$archive" >"$work/out" 2>&1 </dev/null
  rc=$?
  [ $rc -eq 1 ] || fail "damaged $label: test exits $rc"
  grep -q "central directory is damaged" "$work/out" || fail "damaged $label: test gave $(cat "$work/out")"
  "$q" extract "$archive" -d "$work/x" >/dev/null 2>"$work/err" </dev/null
  rc=$?
  [ $rc -eq 1 ] || fail "damaged $label: extract exits $rc"
  grep -q "central directory is damaged" "$work/err" || fail "damaged $label: extract gave $(cat "$work/err")"
  cmp -s "$work/src/sub/two.txt" "$work/x/sub/two.txt" || fail "damaged $label: an item was not recovered"
done

# Masks that select nothing.
"$q" extract "$work/whole.zip" -d "$work/none" 'nothing*' >/dev/null 2>"$work/err" </dev/null
rc=$?
[ $rc -eq 1 ] || fail "extract with a mask that matches nothing exits $rc"
grep -q "no item matches the masks" "$work/err" || fail "no-match extract gave: $(cat "$work/err")"
"$q" extract "$work/whole.zip" -d "$work/none" 'nothing*' 'nor*' >/dev/null 2>"$work/err" </dev/null
[ $? -eq 1 ] || fail "extract with two masks that match nothing"
"$q" extract "$work/whole.zip" -d "$work/some" 'sub/*' >/dev/null 2>"$work/err" </dev/null ||
  fail "a mask that matches: $(cat "$work/err")"
cmp -s "$work/src/sub/two.txt" "$work/some/sub/two.txt" || fail "the matching mask extracted nothing"

echo "cut-off archives: $count cut copies and 4 damaged ones exit 1 and say so"
