#!/usr/bin/env bash
# Builds the libFuzzer targets and runs each for a share of the given seconds (default 100),
# seeded from the shared corpus of real-world archives when it is present.
set -euo pipefail
cd "$(dirname "$0")/.."
total=${1:-100}

cmake --preset fuzz >/dev/null
cmake --build --preset fuzz

targets=(build/fuzz/bin/fuzz_*)
[ -e "${targets[0]}" ] || { echo "no fuzz targets"; exit 0; }
share=$(( total / ${#targets[@]} ))
[ "$share" -ge 5 ] || share=5

seeds=$(mktemp -d)
trap 'rm -rf "$seeds"' EXIT
if [ -d ../shared/corpus ]; then
  find ../shared/corpus -type f \( -iname '*.zip' -o -iname '*.exe' -o -iname '*.z[0-9][0-9]' \) \
    -size -2M -exec cp {} "$seeds/" \; 2>/dev/null || true
fi
for t in "${targets[@]}"; do
  name=$(basename "$t")
  work="build/fuzz/corpus-$name"
  mkdir -p "$work"
  dict=()
  [ -f "fuzz/${name#fuzz_}.dict" ] && dict=(-dict="fuzz/${name#fuzz_}.dict")
  echo "fuzzing $name for ${share}s"
  "$t" "${dict[@]}" -max_total_time="$share" -rss_limit_mb=2048 -timeout=10 -print_final_stats=1 \
    "$work" "$seeds" 2>&1 | tail -n 12
done
