#!/usr/bin/env bash
# The self-extractor against the Windows build of the tool and against the floor, under wine:
# the stub with the archive appended (its extract button pressed by the tests' UI-automation
# helper as soon as the window shows, the helper started beforehand), `quillpack.exe extract` of the same archive, and a bare
# Win32 program that only creates the same files (bench/win32_floor.cpp, compiled here). Each
# is timed as a whole process, wine's start-up included for all three; rounds alternate the
# three and medians are printed with the ratios.
#
# usage: bench/sfx_speed.sh [BUILD_DIR (build/win32)] [ROUNDS (3)] [FILES (20000)]
# Cases: the 256 MiB text file deflated, FILES small files in 100 folders, and 120 text
# files of 2 MB (`zip -6`), where the stub decodes items ahead on its workers and the tool
# runs with QP_WORKERS=0 (today's sequential path); a one-item archive first, for the
# start-up costs. CPU use is user+sys over wall of the wine process that runs each program.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=$(cd "${1:-$here/../build/win32}" && pwd)
rounds=${2:-3}
files=${3:-20000}
[ -x "$build/bin/sfxstub.exe" ] && [ -x "$build/bin/quillpack.exe" ] && [ -x "$build/bin/uia.exe" ] ||
  { echo "build the win32 preset first (sfxstub.exe, quillpack.exe, uia.exe)" >&2; exit 1; }
if [ -z "${DISPLAY:-}" ]; then
  exec bash "$here/../scripts/with-display.sh" bash "$0" "$build" "$rounds" "$files"
fi
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=;winedbg.exe=d"
export WINEPREFIX="${WINEPREFIX:-$HOME/.wine-quillpack}"
[ -d "$WINEPREFIX" ] || wineboot -i >/dev/null 2>&1

work=$(mktemp -d "${TMPDIR:-/tmp}/qp-sfx-bench.XXXXXX")
trap 'wineserver -k 2>/dev/null; rm -rf "$work"' EXIT
i686-w64-mingw32-g++-posix -O2 -municode -static -o "$work/floor.exe" "$here/win32_floor.cpp"
bash "$here/make_archives.sh" "$work" big small "$files" many

winpath() { printf 'Z:%s' "${1//\//\\}"; }
now() { date +%s.%N; }

# A one-item archive measures what each program costs before and after any extracting (under
# wine a window program's start is far dearer than on Windows); the ratios "net" take it out.
mkdir "$work/tinysrc" && echo tiny >"$work/tinysrc/tiny.txt" && (cd "$work/tinysrc" && zip -q ../tiny.zip tiny.txt)
for case in tiny big small many; do
  cat "$build/bin/sfxstub.exe" "$work/$case.zip" >"$work/$case-sfx.exe"
  python3 - "$work/$case.zip" >"$work/$case.manifest" <<'PY'
import sys, zipfile
for info in zipfile.ZipFile(sys.argv[1]).infolist():
    if not info.is_dir():
        print(info.file_size, info.filename.replace('/', '\\'))
PY
done

run_stub() {  # CASE OUT: the stub extracts into its own folder, so it is copied there first
  mkdir -p "$2"
  cp "$work/$1-sfx.exe" "$2/x.exe"
  # The helper starts first and waits for the window, so that its own start-up under wine
  # is not counted; what is counted is the stub from its start to its end.
  wine "$build/bin/uia.exe" timeout=600 window=TForm1 click=glb_extract >/dev/null &
  local helper=$!
  sleep 2
  local start end
  start=$(now)
  (cd "$2" && /usr/bin/time -f '%U %S' -a -o "$work/cpu-stub" wine ./x.exe)
  end=$(now)
  wait "$helper"
  echo "$end - $start" | bc
}
run_tool() {
  local start end
  local workers=()
  [ "$1" = many ] && workers=(env QP_WORKERS=0)
  start=$(now)
  "${workers[@]}" /usr/bin/time -f '%U %S' -a -o "$work/cpu-tool" wine "$build/bin/quillpack.exe" extract "$(winpath "$work/$1.zip")" -d "$(winpath "$2")" -o always </dev/null >/dev/null
  end=$(now)
  echo "$end - $start" | bc
}
run_floor() {
  mkdir -p "$2"
  local start end
  start=$(now)
  wine "$work/floor.exe" "$(winpath "$work/$1.manifest")" "$(winpath "$2")"
  end=$(now)
  echo "$end - $start" | bc
}
median() { sort -n | awk '{a[NR]=$1} END {print (NR % 2) ? a[(NR+1)/2] : (a[NR/2] + a[NR/2+1]) / 2}'; }

wine cmd /c exit >/dev/null 2>&1  # start the wine server once, outside the timings
# CPU use of the rounds just run: the summed user+sys times over the summed wall times.
cpu() {
  awk -v walls="$work/t-$1" '{c += $1 + $2} END {while ((getline w < walls) > 0) t += w; printf "%.0f", 100 * c / t}' \
    "$work/cpu-$1"
}
for case in tiny big small many; do
  : >"$work/t-stub"; : >"$work/t-tool"; : >"$work/t-floor"; : >"$work/cpu-stub"; : >"$work/cpu-tool"
  for r in $(seq "$rounds"); do
    for who in stub tool floor; do
      rm -rf "$work/out"
      "run_$who" "$case" "$work/out" >>"$work/t-$who"
    done
  done
  stub=$(median <"$work/t-stub"); tool=$(median <"$work/t-tool"); floor=$(median <"$work/t-floor")
  if [ "$case" = tiny ]; then
    stub0=$stub; tool0=$tool; floor0=$floor
    printf 'start-up (one tiny item): stub %.2f s, quillpack.exe %.2f s, floor %.2f s\n' "$stub" "$tool" "$floor"
    continue
  fi
  printf '%-6s stub %7.2f s   quillpack.exe %7.2f s   floor %7.2f s   stub/tool %.3f   tool/floor %.3f\n' \
    "$case" "$stub" "$tool" "$floor" "$(echo "$stub / $tool" | bc -l)" "$(echo "$tool / $floor" | bc -l)"
  printf '%-6s CPU use (user+sys over wall): stub %s%%   quillpack.exe %s%%\n' "$case" "$(cpu stub)" "$(cpu tool)"
  printf '%-6s net of start-up: stub/tool %.3f   stub/floor %.3f   tool/floor %.3f\n' "$case" \
    "$(echo "($stub - $stub0) / ($tool - $tool0)" | bc -l)" "$(echo "($stub - $stub0) / ($floor - $floor0)" | bc -l)" \
    "$(echo "($tool - $tool0) / ($floor - $floor0)" | bc -l)"
done
