#!/usr/bin/env bash
# Times `quillpack list` against `unzip -l`, `7z l` and `bsdtar -tf` on an archive of
# 100,000 small entries, alternating the tools, medians of 7 runs, and prints the ratios.
set -euo pipefail
cd "$(dirname "$0")/.."
bin=build/native/bin/quillpack
[ -x "$bin" ] || { echo "build first: cmake --preset native && cmake --build --preset native"; exit 1; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
python3 - "$work/many.zip" <<'PY'
import sys, zipfile
with zipfile.ZipFile(sys.argv[1], "w", zipfile.ZIP_STORED) as z:
    for i in range(100000):
        z.writestr(f"dir{i % 100:03d}/file{i:06d}.txt", b"x")
PY
runs=7
declare -A times
tools=(quillpack unzip 7z bsdtar)
cmd() {
  case $1 in
    quillpack) "$bin" list "$work/many.zip" ;;
    unzip) unzip -l "$work/many.zip" ;;
    7z) 7z l "$work/many.zip" ;;
    bsdtar) bsdtar -tf "$work/many.zip" ;;
  esac
}
for ((r = 0; r < runs; r++)); do
  for t in "${tools[@]}"; do
    command -v "$t" >/dev/null || [ "$t" = quillpack ] || continue
    s=$(date +%s.%N)
    cmd "$t" >/dev/null 2>&1
    e=$(date +%s.%N)
    times[$t]+="$(echo "$e - $s" | bc) "
  done
done
median() { tr ' ' '\n' | grep -v '^$' | sort -n | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}'; }
q=$(echo "${times[quillpack]}" | median)
printf '%-10s %8s %8s\n' tool median ratio
for t in "${tools[@]}"; do
  [ -n "${times[$t]:-}" ] || continue
  m=$(echo "${times[$t]}" | median)
  printf '%-10s %8.3f %8.2f\n' "$t" "$m" "$(echo "$q / $m" | bc -l)"
done
echo "(ratio: quillpack's median divided by the tool's)"
