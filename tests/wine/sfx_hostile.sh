#!/usr/bin/env bash
# The self-extractor against archives crafted to cost more than they hold, under wine on a
# virtual display, driven by the UI-automation helper: items that share bytes (each central
# entry naming the first item's local header) are refused at open with the error box and
# nothing is written; a name of 30,000 folder levels fails at once with a question that
# shows the path shortened, the item after it is still extracted, and the stub's peak memory
# stays small. Every run is bounded by the
# helper's time-outs and an address-space limit; the peak is what the kernel counted for the
# stub's process.
# Screenshots: BUILD/screenshots/hostile-*.png. Usage: sfx_hostile.sh BUILD_DIR SOURCE_DIR
set -uo pipefail
build=$(cd "$1" && pwd)
source_dir=$(cd "$2" && pwd)
if [ -z "${DISPLAY:-}" ]; then
  exec bash "$source_dir/scripts/with-display.sh" bash "$0" "$@"
fi
[ -x /usr/bin/time ] || { echo "SKIP: no /usr/bin/time"; exit 77; }
bin=$build/bin
shots=$build/screenshots
mkdir -p "$shots"
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=;winedbg.exe=d" LC_ALL=C.UTF-8
export WINEPREFIX="${WINEPREFIX:-$HOME/.wine-quillpack}"
[ -d "$WINEPREFIX" ] || wineboot -i >/dev/null 2>&1
work=$(mktemp -d /tmp/sfx-hostile.XXXXXX)
stub=""
trap '[ -n "$stub" ] && kill "$stub" 2>/dev/null; rm -rf "$work"' EXIT
failures=0
fail() {
  echo "FAIL: $*" >&2
  failures=$((failures + 1))
}
uia() { wine "$bin/uia.exe" "$@" | tr -d '\r'; }
shot() { sleep 0.3 && import -window root "$shots/$1.png" && echo "screenshot $shots/$1.png"; }
# The message of the error box, its last static text.
box_message() { grep -v '^window|' | grep '^Static' | cut -d'|' -f2 | grep . | tail -1; }
# Far below the 2 GB a folder walk by the square of the depth took, far above the stub's need.
peak_limit_kb=200000

python3 - "$work" <<'PY' || { echo "FAIL: making the archives"; exit 1; }
import struct, sys, zipfile
work = sys.argv[1]
with zipfile.ZipFile(work + "/deep.zip", "w") as z:
    z.writestr("d/" * 30000 + "x.txt", "x")
    z.writestr("ok.txt", "fine")
# 50 entries, all naming the first item's local header: each would decode the same bytes.
with zipfile.ZipFile(work + "/shared.zip", "w", zipfile.ZIP_DEFLATED) as z:
    for i in range(50):
        z.writestr("item%02d.txt" % i, "the same bytes, over and over " * 40)
raw = bytearray(open(work + "/shared.zip", "rb").read())
at = raw.index(b"PK\1\2")
while at >= 0:
    raw[at + 42:at + 46] = struct.pack("<I", 0)
    at = raw.find(b"PK\1\2", at + 4)
open(work + "/shared.zip", "wb").write(raw)
PY

# run_stub NAME ZIP: the stub with ZIP appended, started from a folder of its own under a
# time-out and an address-space limit, its peak memory written to NAME.rss; presses extract.
run_stub() {
  mkdir -p "$work/$1"
  cat "$bin/sfxstub.exe" "$2" >"$work/$1/$1.exe"
  (cd "$work/$1" && exec timeout 180 bash -c 'ulimit -v 4000000; exec /usr/bin/time -f %M -o "$1" wine "$2"' \
    run "$work/$1.rss" "./$1.exe") &
  stub=$!
  uia timeout=60 window=TForm1 click=glb_extract >/dev/null || fail "$1: no window"
}
# stub_ends NAME [exit]: the window goes (closed by its exit button when asked) and the
# program ends; its peak memory in KB is left in $peak.
stub_ends() {
  if [ "${2:-}" = exit ]; then
    uia window=TForm1 click=glb_exit timeout=30 gone >/dev/null || fail "$1: exit did not end the window"
  else
    uia timeout=60 absent=TForm1 >/dev/null || fail "$1: the window did not end after the run"
  fi
  wait "$stub"
  stub=""
  peak=$(cat "$work/$1.rss" 2>/dev/null)
  peak=${peak:-0}
}

# Items sharing bytes: refused before anything is written.
run_stub shared "$work/shared.zip"
box=$(uia timeout=60 dialog='Self-Extractor STUB' dump) || fail "shared: no error box"
shot hostile-overlap-error-box
message=$(box_message <<<"$box")
grep -q 'overlapping items, possible zip bomb - Native error: 00048\.$' <<<"$message" ||
  fail "shared: error box text: '$message'"
uia dialog='Self-Extractor STUB' click=OK >/dev/null || fail "shared: no OK button in the error box"
[ "$(ls "$work/shared")" = "shared.exe" ] || fail "shared: something was written: $(ls "$work/shared")"
stub_ends shared exit
echo "items sharing bytes: refused, peak $peak KB"
[ "$peak" -gt 0 ] && [ "$peak" -lt "$peak_limit_kb" ] || fail "shared: peak memory $peak KB"

# 30,000 folder levels: the item fails at once with its folder named, the next one is there.
start=$(date +%s%N)
run_stub deep "$work/deep.zip"
question=$(uia timeout=60 dialog=Bestätigen dump) || fail "deep: no failure question"
echo "30,000 folder levels: the question after $(( ($(date +%s%N) - start) / 1000000 )) ms"
shot hostile-deep-path-question
grep -q 'Native error: 00020' <<<"$question" || fail "deep: the question names no folder refusal: $question"
# The 60,000-character path is shown shortened, or the box would be laid out far off the screen.
[ "$(wc -c <<<"$question")" -lt 2000 ] && grep -qF '…' <<<"$question" ||
  fail "deep: the question shows the path unshortened ($(wc -c <<<"$question") bytes)"
uia dialog=Bestätigen click='&Ignorieren' >/dev/null || fail "deep: no Ignore button"
for _ in $(seq 100); do
  [ -e "$work/deep/ok.txt" ] && break
  sleep 0.1
done
[ "$(cat "$work/deep/ok.txt" 2>/dev/null)" = "fine" ] || fail "deep: the item after the deep one is missing"
stub_ends deep
echo "30,000 folder levels: failed and went on in $(( ($(date +%s%N) - start) / 1000000 )) ms, peak $peak KB"
[ "$peak" -gt 0 ] && [ "$peak" -lt "$peak_limit_kb" ] || fail "deep: peak memory $peak KB"

[ "$failures" -eq 0 ] || exit 1
echo "self-extractor against hostile archives: all checks passed"
