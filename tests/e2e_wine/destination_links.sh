#!/usr/bin/env bash
# Links planted in a destination folder under wine, which shows a POSIX symbolic link to a
# folder as a reparse point (it can make no junction or Windows symbolic link of its own): a
# folder link below the destination is refused with error 20 naming the folder, also when it
# answers to a name of another letter case; a link in the way of a file is never written
# through (one to an existing file is replaced by the new file, one whose target is missing,
# which wine does not show at all, is refused with error 19); the destination itself may be
# a link. Each run is bounded by a time-out and an address-space limit.
set -uo pipefail
bin=$1
command -v wine >/dev/null || { echo "SKIP: no wine"; exit 77; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() {
  echo "FAIL: $*"
  exit 1
}
run() {
  timeout 120 bash -c 'ulimit -v 4000000; exec "$@"' run env WINEDEBUG=-all wine "$@" </dev/null
}
python3 - "$work/items.zip" <<'PY' || fail "making the archive"
import sys, zipfile
with zipfile.ZipFile(sys.argv[1], "w") as z:
    z.writestr("one.txt", "item one")
    z.writestr("two.txt", "item two")
    z.writestr("CFG/x", "item x")
    z.writestr("sub/deeper/y", "item y")
    z.writestr("plain/z", "item z")
PY

dest="$work/dest"
mkdir -p "$dest" "$work/elsewhere"
echo "keep me" >"$work/elsewhere/target"
ln -s "$work/elsewhere/missing" "$dest/one.txt"
ln -s "$work/elsewhere/target" "$dest/two.txt"
ln -s "$work/elsewhere" "$dest/cfg"
ln -s "$work/elsewhere" "$dest/sub"
run "$bin/quillpack.exe" extract "Z:$work/items.zip" -d "Z:$dest" -o always >"$work/out" 2>"$work/err"
status=$?
[ "$status" -ne 124 ] || fail "extraction ran out of time"
[ "$status" -eq 1 ] || fail "status $status, expected 1: $(cat "$work/err")"
[ "$(find "$work/elsewhere" -mindepth 1 | wc -l)" -eq 1 ] ||
  fail "something was written through a link: $(find "$work/elsewhere")"
[ "$(cat "$work/elsewhere/target")" = "keep me" ] || fail "the target of two.txt was overwritten"
[ ! -L "$dest/two.txt" ] && [ "$(cat "$dest/two.txt")" = "item two" ] || fail "two.txt: the link was not replaced"
[ -L "$dest/one.txt" ] || fail "one.txt: the dangling link is gone"
[ "$(cat "$dest/plain/z")" = "item z" ] || fail "the item without a link on its way is missing"
grep -q 'Cannot create directory .*dest.sub.deeper.*Native error: 00020' "$work/err" ||
  fail "the folder link sub is not refused by name: $(cat "$work/err")"
grep -q 'Cannot create directory .*dest.CFG.*Native error: 00020' "$work/err" ||
  fail "the folder link cfg answering to CFG is not refused by name: $(cat "$work/err")"
grep -q 'one.txt.*Native error: 00019' "$work/err" ||
  fail "the dangling link one.txt is not refused by name: $(cat "$work/err")"

# The destination chosen as a link is followed.
mkdir -p "$work/real"
ln -s "$work/real" "$work/chosen"
run "$bin/quillpack.exe" extract "Z:$work/items.zip" -d "Z:$work/chosen" -o always >/dev/null 2>"$work/err" ||
  fail "a destination that is a link was refused: $(cat "$work/err")"
[ "$(cat "$work/real/sub/deeper/y")" = "item y" ] || fail "nothing reached the linked destination"
echo "destination links under wine: all checks passed"
