#!/usr/bin/env bash
# Builds the libFuzzer targets and runs each for a share of the given seconds (default 100),
# seeded from the shared corpus of real-world archives when it is present (and the encrypted
# target also from small encrypted archives made here).
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
if [ -d ../shared/corpus ]; then
  find ../shared/corpus -type f \( -iname '*.zip' -o -iname '*.exe' -o -iname '*.z[0-9][0-9]' \) \
    -size -2M -exec cp {} "$seeds/" \; 2>/dev/null || true
fi
# Small archives encrypted with the password the encrypted-extraction target uses, made here
# by the writers that are installed, so that its mutations start behind a password that opens.
crypt_seeds=$(mktemp -d)
trap 'rm -rf "$seeds" "$crypt_seeds"' EXIT
(
  cd "$crypt_seeds" && mkdir src && cd src
  printf 'a small text, a small text, a small text\n' >a.txt && head -c 700 /dev/urandom >b.bin
  command -v zip >/dev/null && zip -q -P fuzz ../zip.zip a.txt b.bin && zip -q -0 -P fuzz - a.txt >../zip-stream.zip
  if command -v 7z >/dev/null; then
    for m in AES128 AES256 ZipCrypto; do 7z a -bso0 -bsp0 -tzip -mem=$m -pfuzz ../7z-$m.zip a.txt b.bin; done
  fi
  command -v bsdtar >/dev/null && bsdtar --format zip --options zip:encryption=aes256 --passphrase fuzz -cf ../bsdtar.zip a.txt
  cd .. && rm -rf src
) || true
for t in "${targets[@]}"; do
  name=$(basename "$t")
  work="build/fuzz/corpus-$name"
  mkdir -p "$work"
  dict=()
  [ -f "fuzz/${name#fuzz_}.dict" ] && dict=(-dict="fuzz/${name#fuzz_}.dict")
  extra=()
  [ "$name" = fuzz_extract_encrypted ] && extra=("$crypt_seeds")
  echo "fuzzing $name for ${share}s"
  "$t" "${dict[@]}" -max_total_time="$share" -rss_limit_mb=2048 -timeout=10 -print_final_stats=1 \
    "$work" "$seeds" "${extra[@]}" 2>&1 | tail -n 12
done
