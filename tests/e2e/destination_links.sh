#!/usr/bin/env bash
# Symbolic links planted in a destination folder must not redirect what extraction writes: a
# link in the way of a file is judged by the overwrite rules as a file and never written
# through, a link in the way of a folder is refused, and a link whose name differs only in
# case does not stand in for a folder. The
# destination itself may be a link: the person chose it.
set -uo pipefail
bin=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() {
  echo "FAIL: $*"
  exit 1
}
# Under a time-out and an address-space limit; a sanitizer build reserves terabytes of shadow
# address space at start, so under one only the time-out holds.
limit_kb=400000
grep -q __asan_init "$bin/quillpack" 2>/dev/null && limit_kb=unlimited
run() {
  timeout 20 bash -c 'ulimit -v "$1"; shift; exec "$@"' run "$limit_kb" "$@" </dev/null
}

python3 - "$work/items.zip" <<'PY' || fail "making the archive"
import sys, zipfile
with zipfile.ZipFile(sys.argv[1], "w") as z:
    z.writestr("one.txt", "item one")
    z.writestr("CFG/x", "item x")
    z.writestr("sub/deeper/y", "item y")
PY
mkdir -p "$work/elsewhere"

for mode in never always prompt; do
  dest="$work/dest-$mode"
  mkdir -p "$dest"
  ln -s "$work/elsewhere/x-$mode" "$dest/one.txt"  # dangling
  ln -s "$work/elsewhere" "$dest/cfg"
  ln -s "$work/elsewhere" "$dest/sub"
  run "$bin/quillpack" extract "$work/items.zip" -d "$dest" -o "$mode" >/dev/null 2>"$work/err"
  [ ! -e "$work/elsewhere/x-$mode" ] || fail "-o $mode wrote through the dangling link"
  [ ! -e "$work/elsewhere/x" ] || fail "-o $mode wrote CFG/x through the link cfg"
  [ "$(cat "$dest/CFG/x" 2>/dev/null)" = "item x" ] || fail "-o $mode: CFG/ was not made inside: $(cat "$work/err")"
  [ ! -e "$work/elsewhere/deeper" ] || fail "-o $mode made a folder through the link sub"
  grep -q "Cannot create directory .*dest-$mode.sub.deeper.*Native error: 00020" "$work/err" ||
    fail "-o $mode: the link sub is not named in the refusal: $(cat "$work/err")"
  # The message is the engine's own text; the system's reason follows on a line of its own.
  grep -qF 'deeper\" - Native error: 00020' "$work/err" || fail "-o $mode: the refusal's text is not the engine's: $(cat "$work/err")"
  grep -q "^  cause: ." "$work/err" || fail "-o $mode: the system's reason is not shown: $(cat "$work/err")"
  case $mode in
    never) [ -L "$dest/one.txt" ] || fail "-o never replaced the link" ;;
    always)
      [ ! -L "$dest/one.txt" ] && [ "$(cat "$dest/one.txt")" = "item one" ] ||
        fail "-o always did not replace the link by the file: $(cat "$work/err")" ;;
  esac
done

# A link to a file that exists is replaced, never written through.
echo "keep me" >"$work/elsewhere/target"
mkdir -p "$work/dest-target"
ln -s "$work/elsewhere/target" "$work/dest-target/one.txt"
run "$bin/quillpack" extract "$work/items.zip" -d "$work/dest-target" -o always >/dev/null 2>&1
[ "$(cat "$work/elsewhere/target")" = "keep me" ] || fail "the link's target was overwritten"

# The destination chosen as a link is followed.
mkdir -p "$work/real"
ln -s "$work/real" "$work/chosen"
run "$bin/quillpack" extract "$work/items.zip" -d "$work/chosen" -o always >/dev/null 2>&1 ||
  fail "a destination that is a link was refused"
[ "$(cat "$work/real/one.txt")" = "item one" ] || fail "nothing reached the linked destination"
echo "destination links: all checks passed"
