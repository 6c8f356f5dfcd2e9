#!/usr/bin/env bash
# `quillpack sfx STUB ARCHIVE OUTPUT`: the output is the plain concatenation and lists the
# archive's items; an archive that does not read leaves no output; and an output whose archive
# cannot be found behind the stub (here a program whose headers claim more than the file
# holds, so the appended bytes count as its own image) is removed again, with status 1.
set -uo pipefail
bin=$1
if ! command -v zip >/dev/null || ! command -v python3 >/dev/null; then
  echo "SKIP: no zip or python3"
  exit 0
fi
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() {
  echo "FAIL: $*"
  exit 1
}

mkdir -p "$work/src/docs"
echo "Hallo Welt" >"$work/src/readme.txt"
seq 1 5000 >"$work/src/docs/numbers.txt"
(cd "$work/src" && zip -q -r ../data.zip .)
# A program image of 0x800 bytes: DOS header, PE headers, two sections. With `claim` set, the
# second section claims a megabyte the file does not have.
python3 - "$work" <<'PY'
import struct, sys
def program(claim):
    image = bytearray(0x800)
    image[0:2] = b"MZ"
    struct.pack_into("<I", image, 0x3C, 0x40)
    image[0x40:0x44] = b"PE\0\0"
    struct.pack_into("<HH", image, 0x44, 0x14C, 2)
    struct.pack_into("<H", image, 0x54, 0xE0)
    struct.pack_into("<H", image, 0x58, 0x10B)
    struct.pack_into("<I", image, 0x58 + 60, 0x400)
    struct.pack_into("<I", image, 0x58 + 92, 16)
    sections = 0x58 + 0xE0
    struct.pack_into("<II", image, sections + 16, 0x200, 0x400)
    struct.pack_into("<II", image, sections + 56, 0x100000 if claim else 0x200, 0x600)
    return bytes(image)
open(sys.argv[1] + "/stub.exe", "wb").write(program(False))
open(sys.argv[1] + "/liar.exe", "wb").write(program(True))
PY

"$bin/quillpack" sfx "$work/stub.exe" "$work/data.zip" "$work/good.exe" >/dev/null || fail "sfx on a good archive"
cat "$work/stub.exe" "$work/data.zip" | cmp -s - "$work/good.exe" || fail "the output is not the concatenation"
"$bin/quillpack" list "$work/good.exe" | sort >"$work/listed"
printf 'docs/\ndocs/numbers.txt\nreadme.txt\n' | cmp -s - "$work/listed" || fail "listing: $(cat "$work/listed")"

echo "not an archive" >"$work/text.txt"
"$bin/quillpack" sfx "$work/stub.exe" "$work/text.txt" "$work/bad.exe" 2>/dev/null
[ $? -eq 1 ] || fail "status for an archive that does not read"
[ ! -e "$work/bad.exe" ] || fail "output left for an archive that does not read"

"$bin/quillpack" sfx "$work/liar.exe" "$work/data.zip" "$work/hidden.exe" 2>"$work/err"
[ $? -eq 1 ] || fail "status for an archive the stub hides"
[ ! -e "$work/hidden.exe" ] || fail "output left although it does not read"
grep -q "removed" "$work/err" || fail "no message: $(cat "$work/err")"
echo "quillpack sfx checks passed"
