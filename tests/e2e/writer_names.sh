#!/usr/bin/env bash
# Names as the writers that people zip with store them: Info-ZIP zip in a UTF-8 locale and
# Python's zipfile with the UTF-8 flag cleared (Unix host, composed and decomposed names),
# OEM names from a DOS host, Unicode path fields (matching, stale, wrong version, cut short,
# not UTF-8), and the writers that set the flag (7-Zip, bsdtar, Python). `list` prints and
# `extract` writes exactly the intended names, byte for byte (decomposed names stay so).
# BIN holds quillpack, or quillpack.exe (run under wine). Usage: writer_names.sh BIN
set -uo pipefail
bin=$1
export LC_ALL=C.UTF-8
# The work folder's own name is outside ASCII (and the ANSI code page), so the paths given
# on the command line need it to arrive as it is.
work=$(mktemp -d /tmp/names-Łódź.XXXXXX)
trap 'rm -rf "$work"' EXIT
fail() {
  echo "FAIL: $*"
  exit 1
}
if [ -x "$bin/quillpack" ]; then
  q() { "$bin/quillpack" "$@"; }
  at() { printf '%s' "$1"; }
else
  command -v wine >/dev/null && [ -f "$bin/quillpack.exe" ] || { echo "SKIP: no wine or no quillpack.exe"; exit 77; }
  export WINEDEBUG=-all
  q() { wine "$bin/quillpack.exe" "$@" | tr -d '\r'; }
  at() { printf 'Z:%s' "${1//\//\\}"; }
fi

# The names every Unix-side writer gets; the NFD form is made by Python below.
names=("Bestätigung.txt" "Übersicht/Grüße.txt" "日本語.txt" "Ελληνικά.txt" "plain.txt")
mkdir -p "$work/src/Übersicht"
for n in "${names[@]}"; do echo "data of $n" >"$work/src/$n"; done

# Compares what `list` prints and what `extract` writes (files only) with the expected names.
check() {
  local archive=$1 expected=$2 label=$3
  q list "$(at "$archive")" >"$work/listed" 2>"$work/err" || fail "$label: list failed: $(cat "$work/err")"
  sort "$work/listed" | grep -v '/$' >"$work/listed.sorted"
  sort "$expected" >"$work/expected.sorted"
  cmp -s "$work/listed.sorted" "$work/expected.sorted" ||
    fail "$label: listed $(cat -A "$work/listed.sorted" | tr '\n' ' ') expected $(cat -A "$work/expected.sorted" | tr '\n' ' ')"
  rm -rf "$work/out"
  q extract "$(at "$archive")" -d "$(at "$work/out")" -o always </dev/null >/dev/null 2>"$work/err" ||
    fail "$label: extract failed: $(cat "$work/err")"
  (cd "$work/out" && find . -type f | sed 's|^\./||' | sort) >"$work/written"
  cmp -s "$work/written" "$work/expected.sorted" ||
    fail "$label: wrote $(cat -A "$work/written" | tr '\n' ' ') expected $(cat -A "$work/expected.sorted" | tr '\n' ' ')"
}
printf '%s\n' "${names[@]}" >"$work/unix.names"

# Info-ZIP zip: the locale's UTF-8 bytes, no flag, host 3, no Unicode path field.
if command -v zip >/dev/null; then
  (cd "$work/src" && zip -q -r "$work/infozip.zip" "${names[@]}") || fail "zip"
  check "$work/infozip.zip" "$work/unix.names" "Info-ZIP zip"
fi

# The writers that set flag bit 11.
if command -v 7z >/dev/null; then
  (cd "$work/src" && 7z a -tzip "$work/7z.zip" "${names[@]}" >/dev/null) || fail "7z"
  check "$work/7z.zip" "$work/unix.names" "7-Zip"
fi
if command -v bsdtar >/dev/null; then
  (cd "$work/src" && bsdtar --format zip -cf "$work/bsdtar.zip" "${names[@]}") || fail "bsdtar"
  check "$work/bsdtar.zip" "$work/unix.names" "bsdtar"
fi

# Python's zipfile: by default it sets the flag; the stand-in encoder stores the given bytes
# with the flag as given, so the same module also writes unflagged Unix and DOS archives.
python3 - "$work" <<'PY' || fail "making the Python archives"
import sys, unicodedata, zipfile, zlib, struct
work = sys.argv[1]
names = ["Bestätigung.txt", "Übersicht/Grüße.txt", "日本語.txt", "Ελληνικά.txt", "plain.txt"]

def write(path, entries):
    """entries: (stored name bytes, create_system, flag bits, extra, expected name)."""
    stored = {}  # ZipInfo keeps only the fields it declares, so the bytes live beside it
    original = zipfile.ZipInfo._encodeFilenameFlags
    zipfile.ZipInfo._encodeFilenameFlags = lambda self: stored[self.filename]
    with zipfile.ZipFile(path, "w") as z:
        for raw, system, flags, extra, expected in entries:
            info = zipfile.ZipInfo(raw.decode("latin-1"))
            info.create_system = system
            info.extra = extra
            stored[info.filename] = (raw, flags)
            z.writestr(info, "data of " + expected)
    zipfile.ZipInfo._encodeFilenameFlags = original
    with open(path + ".names", "w", encoding="utf-8") as f:
        f.write("".join(e[4] + "\n" for e in entries))

def path_field(text, stored, version=1, cut=None):
    data = bytes([version]) + struct.pack("<I", zlib.crc32(stored)) + text
    if cut is not None:
        data = data[:cut]
    return struct.pack("<HH", 0x7075, len(data)) + data

write(work + "/py_nfc.zip", [(n.encode(), 3, 0, b"", n) for n in names])
nfd = [unicodedata.normalize("NFD", n) for n in names]
write(work + "/py_nfd.zip", [(n.encode(), 3, 0, b"", n) for n in nfd])
# macOS host (19) as well.
write(work + "/py_osx.zip", [(n.encode(), 19, 0, b"", n) for n in nfd])
# A DOS host with OEM names (CP437 on this system) decodes through OEM as always, also where
# the OEM bytes happen to form UTF-8: "├ñ" is 0xC3 0xA4, the UTF-8 of "ä"; CP1252 has no
# "├", and its best fit is "+".
dos = ["Über.txt", "Grüße/Maße.txt", "résumé.txt"]
entries = [(n.encode("cp437"), 0, 0, b"", n) for n in dos]
entries.append(("├ñ.txt".encode("cp437"), 0, 0, b"", "+ñ.txt"))
write(work + "/py_dos.zip", entries)
# Unicode path fields next to an OEM header name with '_' for what OEM cannot spell.
lodz = "Łódź.txt".encode()
write(work + "/py_path.zip", [
    (b"___.txt", 0, 0, path_field(lodz, b"___.txt"), "Łódź.txt"),
    (b"__1.txt", 0, 0, path_field("Ärger1.txt".encode(), b"old.txt"), "__1.txt"),
    (b"__2.txt", 0, 0, path_field("Ärger2.txt".encode(), b"__2.txt", version=2), "__2.txt"),
    (b"__3.txt", 0, 0, path_field("Ärger3.txt".encode(), b"__3.txt", cut=3), "__3.txt"),
    (b"__4.txt", 0, 0, path_field(b"\xc5\x81\xff4.txt", b"__4.txt"), "__4.txt"),
    ("Ü5.txt".encode("cp437"), 0, 0, path_field("Ü5€.txt".encode(), "Ü5.txt".encode("cp437")), "Ü5€.txt"),
])
# Python's own way: the flag set.
with zipfile.ZipFile(work + "/py_flag.zip", "w") as z:
    for n in names:
        z.writestr(n, "data of " + n)
with open(work + "/py_flag.zip.names", "w", encoding="utf-8") as f:
    f.write("".join(n + "\n" for n in names))
PY
for a in py_nfc py_nfd py_osx py_dos py_path py_flag; do
  check "$work/$a.zip" "$work/$a.zip.names" "Python $a"
done
# The content goes with the name: each file holds the text written under its intended name.
q extract "$(at "$work/py_nfd.zip")" -d "$(at "$work/nfd")" -o always </dev/null >/dev/null 2>&1
nfd_name=$(python3 -c 'import unicodedata; print(unicodedata.normalize("NFD", "Übersicht/Grüße.txt"))')
[ "$(cat "$work/nfd/$nfd_name")" = "data of $nfd_name" ] || fail "the decomposed name holds other data"
# A selection by the decoded name finds the item.
if [ -f "$work/infozip.zip" ]; then
  q extract "$(at "$work/infozip.zip")" -d "$(at "$work/one")" -o always 'Übersicht/*' </dev/null >/dev/null 2>&1 ||
    fail "extracting by a decoded name"
  [ "$(cd "$work/one" && find . -type f)" = "./Übersicht/Grüße.txt" ] ||
    fail "a mask on the decoded name selected $(cd "$work/one" && find . -type f)"
fi
echo "writer names: all writers decoded as meant"
