#!/usr/bin/env bash
# The self-extractor's own password dialog under wine on a virtual display, driven by the
# UI-automation helper: an archive encrypted by Info-ZIP zip appended to the stub asks
# "Password for ..." with a masked edit; a wrong password asks again, the right one extracts
# the item's bytes, and Cancel skips the item without writing anything; an AES-256 item
# from 7-Zip opens the same way.
# Screenshot: BUILD/screenshots/password-dialog.png. Usage: sfx_password.sh BUILD_DIR SOURCE_DIR
set -uo pipefail
build=$(cd "$1" && pwd)
source_dir=$(cd "$2" && pwd)
if [ -z "${DISPLAY:-}" ]; then
  exec bash "$source_dir/scripts/with-display.sh" bash "$0" "$@"
fi
command -v zip >/dev/null || { echo "SKIP: no zip"; exit 77; }
bin=$build/bin
shots=$build/screenshots
mkdir -p "$shots"
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=;winedbg.exe=d" LC_ALL=C.UTF-8
export WINEPREFIX="${WINEPREFIX:-$HOME/.wine-quillpack}"
[ -d "$WINEPREFIX" ] || wineboot -i >/dev/null 2>&1
work=$(mktemp -d /tmp/sfx-pw.XXXXXX)
stub=""
trap '[ -n "$stub" ] && kill "$stub" 2>/dev/null; rm -rf "$work"' EXIT
fail() {
  echo "FAIL: $*" >&2
  exit 1
}
uia() { wine "$bin/uia.exe" "$@" | tr -d '\r'; }

mkdir -p "$work/src" "$work/right" "$work/cancel"
echo "streng geheim" >"$work/src/secret.txt"
(cd "$work/src" && zip -q -P richtig "$work/enc.zip" secret.txt) || fail "zip -P"
cat "$bin/sfxstub.exe" "$work/enc.zip" >"$work/right/enc.exe"
cp "$work/right/enc.exe" "$work/cancel/enc.exe"

# run_stub FOLDER EXE: starts a self-extractor from its folder and presses its extract button.
run_stub() {
  (cd "$1" && exec wine "./$2") &
  stub=$!
  uia timeout=60 window=TForm1 click=glb_extract >/dev/null || fail "no window ($1/$2)"
}
# answer TITLE PASSWORD: types the password into the dialog and presses OK.
answer() {
  uia timeout=30 dialog="$1" settext="#10=$2" >/dev/null || fail "no dialog '$1' to answer $2"
  uia dialog="$1" click=OK >/dev/null || fail "no OK button"
}
# run_ends WHEN: the window goes and the program ends.
run_ends() {
  uia timeout=60 absent=TForm1 >/dev/null || fail "the window did not end $1"
  wait "$stub"
  stub=""
}

# A wrong password, then the right one.
title='Password for "secret.txt"'
run_stub "$work/right" enc.exe
uia timeout=30 dialog="$title" settext='#10=falsch' >/dev/null || fail "no password dialog"
sleep 0.3 && import -window root "$shots/password-dialog.png"
uia dialog="$title" click=OK >/dev/null || fail "no OK button"
answer "$title" richtig
run_ends "after the right password"
[ "$(cat "$work/right/secret.txt" 2>/dev/null)" = "streng geheim" ] || fail "the item's bytes were not extracted"

# Cancel skips the item: nothing written, no error box, the run ends.
run_stub "$work/cancel" enc.exe
uia timeout=30 dialog="$title" click=Cancel >/dev/null || fail "no Cancel button"
run_ends "after Cancel"
[ ! -e "$work/cancel/secret.txt" ] || fail "a skipped item left a file"

# AES-256 from 7-Zip: the key derivation and the hashes run inside the window's handlers and
# on the decrypting thread, both on stacks Windows aligns to 4 bytes only.
if command -v 7z >/dev/null; then
  mkdir -p "$work/aes"
  # Large enough to be decrypted ahead on the second thread.
  head -c 6000000 /dev/urandom >"$work/src/large.bin"
  (cd "$work/src" && 7z a -tzip -mem=AES256 -prichtig "$work/aes.zip" secret.txt large.bin >/dev/null) ||
    fail "7z -mem=AES256"
  cat "$bin/sfxstub.exe" "$work/aes.zip" >"$work/aes/aes.exe"
  first=$(python3 -c 'import sys, zipfile; print(zipfile.ZipFile(sys.argv[1]).namelist()[0])' "$work/aes.zip")
  run_stub "$work/aes" aes.exe
  answer "Password for \"$first\"" richtig
  run_ends "after the right AES password"
  [ "$(cat "$work/aes/secret.txt" 2>/dev/null)" = "streng geheim" ] || fail "the AES item's bytes were not extracted"
  cmp -s "$work/src/large.bin" "$work/aes/large.bin" || fail "the large AES item's bytes differ"
else
  echo "note: no 7z, the AES case is left out"
fi
echo "PASS"
