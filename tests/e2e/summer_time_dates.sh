#!/usr/bin/env bash
# File times by the rules of their own date: items dated in winter, in summer and on both
# sides of a change of summer time, extracted in Europe/Berlin, get the instants that the
# zone's rules for that date give (Python's zoneinfo says which), whatever the season of the
# extraction. The same script runs the Windows tool under wine (third argument "wine"),
# whose server is restarted under the zone so that every part of wine takes it.
set -uo pipefail
bin=$1
mode=${3:-native}
work=$(mktemp -d)
fail() {
  echo "FAIL: $*"
  exit 1
}
export TZ=Europe/Berlin
[ -e /usr/share/zoneinfo/Europe/Berlin ] || { echo "SKIP: no zone data"; exit 77; }
if [ "$mode" = wine ]; then
  command -v wine >/dev/null || { echo "SKIP: no wine"; exit 77; }
  export WINEDEBUG=-all
  # Later tests get a server with the zone they were started with.
  trap 'wineserver -k 2>/dev/null; rm -rf "$work"' EXIT
  wineserver -k 2>/dev/null
  run() { wine "$bin/quillpack.exe" extract "Z:$work/dates.zip" -d "Z:$work/out" -o always </dev/null; }
else
  trap 'rm -rf "$work"' EXIT
  run() { "$bin/quillpack" extract "$work/dates.zip" -d "$work/out" -o always </dev/null; }
fi

dates='[("winter.txt", (2020, 1, 10, 8, 0, 0)), ("summer.txt", (2021, 6, 15, 13, 45, 30)),
        ("before_spring_change.txt", (2021, 3, 28, 1, 30, 0)),
        ("after_spring_change.txt", (2021, 3, 28, 3, 30, 0)),
        ("after_autumn_change.txt", (2021, 10, 31, 4, 0, 0)),
        ("summer_2107.txt", (2107, 7, 1, 12, 0, 0))]'
python3 - "$work/dates.zip" "$dates" <<'PY' || fail "making the archive"
import ast, sys, zipfile
with zipfile.ZipFile(sys.argv[1], "w") as z:
    for name, when in ast.literal_eval(sys.argv[2]):
        z.writestr(zipfile.ZipInfo(name, when), name)
PY
mkdir "$work/out"
run >"$work/log" 2>&1 || fail "extract exits $?: $(cat "$work/log")"
python3 - "$work/out" "$dates" <<'PY' || fail "file times"
import ast, datetime, os, sys
from zoneinfo import ZoneInfo
zone = ZoneInfo("Europe/Berlin")
bad = []
for name, when in ast.literal_eval(sys.argv[2]):
    want = datetime.datetime(*when, tzinfo=zone).timestamp()
    got = os.stat(os.path.join(sys.argv[1], name)).st_mtime
    if got != want:
        bad.append(f"{name}: {datetime.datetime.fromtimestamp(got, zone)} instead of "
                   f"{datetime.datetime.fromtimestamp(want, zone)} ({(got - want) / 3600:+.1f} h)")
print("\n".join(bad))
sys.exit(1 if bad else 0)
PY
echo "PASS"
