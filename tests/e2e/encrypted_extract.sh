#!/usr/bin/env bash
# `quillpack extract` on encrypted archives from 7-Zip, Info-ZIP zip and bsdtar: -p with the
# right password (with a blank, with non-ASCII letters typed as UTF-8, whether the writer
# stored them in the ANSI code page or as typed) gives the same bytes; without a terminal a
# wrong password skips the item (exit status 1, the count line says so, no file left); on a
# terminal the tool asks again, with the echo off, and an empty answer skips.
set -uo pipefail
bin=$1
for tool in zip 7z bsdtar python3; do
  command -v "$tool" >/dev/null || { echo "SKIP: no $tool"; exit 77; }
done
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() {
  echo "FAIL: $*"
  exit 1
}
q="$bin/quillpack"

mkdir -p "$work/src/sub"
python3 -c "
import random
r = random.Random(5)
open('$work/src/text.txt', 'w').write(''.join(r.choice(['ink ', 'quill ', 'seal\n', 'wax ']) for _ in range(400000)))"
head -c 300000 /dev/urandom >"$work/src/sub/random.bin"

# extract ARCHIVE PASSWORD: extracts below $work/out with stdin closed; leaves the status in $rc.
extract() {
  rm -rf "$work/out"
  "$q" extract "$1" -d "$work/out" -p "$2" </dev/null 2>"$work/stderr"
  rc=$?
}
same_as_sources() {
  cmp -s "$work/src/text.txt" "$work/out/text.txt" && cmp -s "$work/src/sub/random.bin" "$work/out/sub/random.bin"
}

ansi=$(printf 'gr\374n bl\344u')  # "grün bläu" in the ANSI code page
(cd "$work/src" && 7z a -bso0 -bsp0 -tzip -mem=AES256 '-ppass word' ../aes.zip . &&
  7z a -bso0 -bsp0 -tzip -mem=ZipCrypto '-ppass word' ../zc.zip . &&
  zip -q -r -P "$ansi" ../ansi.zip . &&
  zip -q -r -P 'grün bläu' ../utf8.zip . &&
  zip -q -r -P 'pass word' - . >../streamed.zip &&
  bsdtar --format zip --options zip:encryption=aes256 --passphrase 'grün bläu' -cf ../bsd.zip .) ||
  fail "a writer failed"

for a in aes zc streamed; do
  extract "$work/$a.zip" 'pass word'
  [ "$rc" = 0 ] || fail "$a.zip: exit status $rc: $(cat "$work/stderr")"
  same_as_sources || fail "$a.zip: extracted files differ"
done
for a in ansi utf8 bsd; do
  extract "$work/$a.zip" 'grün bläu'
  [ "$rc" = 0 ] || fail "$a.zip with a UTF-8 password: exit status $rc: $(cat "$work/stderr")"
  same_as_sources || fail "$a.zip: extracted files differ"
done

# Without a terminal a wrong password skips every encrypted item, quietly but counted. The
# archives are made afresh each run, and a header lets a wrong password pass its check now and
# then (one in 256 for the traditional scheme): that item then fails its CRC or its code
# instead of being skipped, and nothing of it stays either.
for a in aes ansi; do
  extract "$work/$a.zip" 'wrong'
  [ "$rc" = 1 ] || fail "$a.zip with a wrong password: exit status $rc, not 1"
  counts=$(grep -oE '[0-9]+ item\(s\) failed, [0-9]+ item\(s\) skipped for want of a password' "$work/stderr" |
    awk '{print $1 + $4}')
  [ "$counts" = 2 ] || fail "$a.zip: no count line of 2 items: $(cat "$work/stderr")"
  [ -z "$(find "$work/out" -type f)" ] || fail "$a.zip: a skipped item left a file"
  ! grep -q wrong "$work/stderr" || fail "$a.zip: the password appears in a message"
done

# On a terminal: asked for each try, the answer never echoed; the first right answer serves
# the other item too; an empty answer skips.
# terminal ARCHIVE ANSWER...: runs the tool on a pseudo-terminal and types each answer once
# the prompt is there and the echo is off; leaves the status in $rc and the screen in
# $work/screen.
terminal() {
  rm -rf "$work/out"
  python3 - "$q" "$work/out" "$@" >"$work/screen" <<'PY'
import os, pty, select, sys, termios, time
tool, out, archive, answers = sys.argv[1], sys.argv[2], sys.argv[3], sys.argv[4:]
pid, fd = pty.fork()
if pid == 0:
    os.execv(tool, [tool, 'extract', archive, '-d', out])
screen = b''
def read_some(timeout):
    global screen
    ready, _, _ = select.select([fd], [], [], timeout)
    if not ready:
        return False
    try:
        chunk = os.read(fd, 4096)
    except OSError:
        return None
    screen += chunk
    return bool(chunk) or None
deadline = time.time() + 120
for answer in answers:
    seen = screen.count(b'Enter password: ')
    while screen.count(b'Enter password: ') == seen and time.time() < deadline:
        if read_some(1) is None:
            break
    # The answer goes in only once the tool has turned the echo off.
    while termios.tcgetattr(fd)[3] & termios.ECHO and time.time() < deadline:
        time.sleep(0.01)
    os.write(fd, answer.encode() + b'\n')
while time.time() < deadline and read_some(1) is not None:
    pass
_, status = os.waitpid(pid, 0)
sys.stdout.buffer.write(screen)
sys.exit(os.WEXITSTATUS(status) if os.WIFEXITED(status) else 99)
PY
  rc=$?
}

terminal "$work/aes.zip" 'not it' 'pass word'
[ "$rc" = 0 ] || fail "terminal, AES: exit status $rc: $(cat "$work/screen")"
same_as_sources || fail "terminal, AES: extracted files differ"
[ "$(grep -o 'Enter password: ' "$work/screen" | wc -l)" = 2 ] || fail "terminal, AES: not asked twice"
! grep -q -e 'pass word' -e 'not it' "$work/screen" || fail "terminal: a typed password was echoed"

terminal "$work/ansi.zip" 'grün bläu'
[ "$rc" = 0 ] || fail "terminal, UTF-8 typed: exit status $rc: $(cat "$work/screen")"
same_as_sources || fail "terminal, UTF-8 typed: extracted files differ"

terminal "$work/zc.zip" '' ''
[ "$rc" = 1 ] || fail "terminal, skipped: exit status $rc, not 1"
grep -q "2 item(s) skipped for want of a password" "$work/screen" || fail "terminal, skipped: no count line"
[ -z "$(find "$work/out" -type f)" ] || fail "terminal, skipped: a file was left"
echo "PASS"
