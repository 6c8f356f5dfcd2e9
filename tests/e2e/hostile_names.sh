#!/usr/bin/env bash
# The tool against hostile stored names, as an attacker would craft them byte by byte: device
# names, a NUL hidden in a name, aliases through trailing dots, terminal escapes and line
# breaks. Nothing dangerous is written, a terminal never sees a raw control character, a pipe
# gets the names as stored (line breaks escaped), and the exit status and count line tell
# what was not written.
set -uo pipefail
bin=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() {
  echo "FAIL: $*"
  exit 1
}

# Python's zipfile cuts names at a NUL, so the name is written with a placeholder byte that is
# then replaced in the local and central headers alike.
python3 - "$work/hostile.zip" <<'PY' || fail "making the archive"
import sys, zipfile
names = ["COM1", "sub/lpt2.txt", "evil.exe\x01.txt", "cfg./settings.ini", "a.txt.",
         "title\x1b]0;pwned\x07.txt", "two\nlines.txt", "fine.txt"]
with zipfile.ZipFile(sys.argv[1], "w") as z:
    for n in names:
        z.writestr(n, "data of " + n)
data = open(sys.argv[1], "rb").read().replace(b"evil.exe\x01.txt", b"evil.exe\x00.txt")
open(sys.argv[1], "wb").write(data)
PY

# Listing into a pipe: byte-exact, except the line break.
"$bin/quillpack" list "$work/hostile.zip" >"$work/piped" || fail "list into a pipe"
[ "$(wc -l <"$work/piped")" -eq 8 ] || fail "one name per line expected: $(cat -A "$work/piped")"
grep -q $'title\x1b]0;pwned\x07.txt' "$work/piped" || fail "a pipe gets the name as stored"
grep -q '^two^Jlines.txt$' "$work/piped" || fail "a line break in a name is escaped in a pipe"
# On a terminal (script gives the tool a pseudo-terminal): no raw ESC, BEL or NUL at all.
if command -v script >/dev/null; then
  script -qec "$bin/quillpack list $work/hostile.zip" /dev/null >"$work/tty" || fail "list on a terminal"
  if LC_ALL=C grep -q $'[\x1b\x07]' "$work/tty"; then fail "raw control characters reached the terminal"; fi
  grep -q 'title^\[\]0;pwned^G.txt' "$work/tty" || fail "escaped name missing on the terminal: $(cat -A "$work/tty")"
  grep -q 'evil.exe^@.txt' "$work/tty" || fail "the NUL is not shown"
fi

# Extracting: only fine.txt is written; everything else fails with the name in the message.
mkdir -p "$work/out/cfg"
echo "keep me" >"$work/out/cfg/settings.ini"
"$bin/quillpack" extract "$work/hostile.zip" -d "$work/out" -o always </dev/null 2>"$work/err"
status=$?
[ "$status" -eq 1 ] || fail "extract status $status, expected 1"
[ "$(cat "$work/out/cfg/settings.ini")" = "keep me" ] || fail "cfg./settings.ini replaced cfg/settings.ini"
(cd "$work/out" && find . -mindepth 1 | sort) >"$work/tree"
[ "$(cat "$work/tree")" = $'./cfg\n./cfg/settings.ini\n./fine.txt' ] || fail "unexpected tree: $(cat "$work/tree")"
grep -q 'Cannot create file "COM1"' "$work/err" || fail "device name not named in the message: $(cat "$work/err")"
if LC_ALL=C grep -q $'[\x1b\x07]' "$work/err"; then fail "raw control characters in messages"; fi
grep -q '7 item(s) failed' "$work/err" || fail "count line: $(tail -1 "$work/err")"

# The mask judges the whole name: "*.txt" selects evil.exe<NUL>.txt, which is then refused
# instead of becoming evil.exe.
"$bin/quillpack" extract "$work/hostile.zip" -d "$work/masked" -o always -x '*.exe' '*.txt' </dev/null 2>/dev/null
[ ! -e "$work/masked/evil.exe" ] || fail "the NUL cut the name short"

# Case: A.txt then a.txt with -o always leaves one file holding the second.
python3 - "$work/case.zip" <<'PY' || fail "making case.zip"
import sys, zipfile
with zipfile.ZipFile(sys.argv[1], "w") as z:
    z.writestr("A.txt", "first")
    z.writestr("a.txt", "second")
PY
"$bin/quillpack" extract "$work/case.zip" -d "$work/case" -o always </dev/null || fail "case extract"
[ "$(ls "$work/case")" = "A.txt" ] || fail "two files for one name: $(ls "$work/case")"
[ "$(cat "$work/case/A.txt")" = "second" ] || fail "the later item must win"

# Prompt mode without a terminal keeps existing files: counted, and the status says so.
"$bin/quillpack" extract "$work/case.zip" -d "$work/case" </dev/null 2>"$work/err"
status=$?
[ "$status" -eq 3 ] || fail "status $status for kept files, expected 3"
grep -q '2 existing file(s) kept' "$work/err" || fail "count line: $(tail -1 "$work/err")"
echo "PASS"
