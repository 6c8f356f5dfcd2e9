#!/usr/bin/env bash
# Builds the libFuzzer targets and runs each for a share of the given seconds (default 100),
# starting from the committed corpus in fuzz/corpus/<target>/, seeded also from the shared
# corpus of real-world archives when it is present (and the encrypted target from small
# encrypted archives made here). New finds stay in build/fuzz/; with QP_FUZZ_MERGE=1 they are
# minimised together with the committed corpus (libFuzzer -merge=1) and written back into
# fuzz/corpus/, so that an ordinary run (and CI) never changes the tree.
set -euo pipefail
cd "$(dirname "$0")/.."
total=${1:-100}
merge=${QP_FUZZ_MERGE:-0}
# Committed inputs stay small: a find larger than this is left out of the merge.
max_committed_bytes=8192

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
  committed="fuzz/corpus/${name#fuzz_}"
  [ -d "$committed" ] && extra+=("$committed")
  echo "fuzzing $name for ${share}s"
  # libFuzzer writes its finds only into the first folder; the others are read. Crashes and
  # slow inputs go to build/fuzz/, never into the source tree.
  "$t" "${dict[@]}" -max_total_time="$share" -rss_limit_mb=2048 -timeout=10 -print_final_stats=1 \
    -artifact_prefix=build/fuzz/ "$work" "$seeds" "${extra[@]}" 2>&1 | tail -n 12
  [ "$merge" = 1 ] || continue
  # Only the committed corpus and this machine's finds are merged, never the seeds themselves:
  # the shared archives are not ours to commit.
  candidates=$(mktemp -d) merged=$(mktemp -d)
  find "$work" ${committed:+"$committed"} -maxdepth 1 -type f -size -$((max_committed_bytes + 1))c \
    -exec cp -t "$candidates" {} + 2>/dev/null || true
  # A seed can come back unchanged as a find; it is dropped by its content.
  find "$seeds" "$crypt_seeds" -type f -exec sha1sum {} + | cut -d' ' -f1 | sort -u >"$merged.seeds"
  (cd "$candidates" && sha1sum -- * 2>/dev/null | awk 'NR==FNR { seed[$1] = 1; next } ($1 in seed) { print $2 }' \
    "$merged.seeds" - | xargs -r rm -f --) || true
  rm -f "$merged.seeds"
  # The committed corpus is replaced only by a merge that finished with inputs in it.
  if "$t" -merge=1 -rss_limit_mb=2048 -timeout=10 -artifact_prefix=build/fuzz/ "$merged" "$candidates" >"build/fuzz/merge-$name.log" 2>&1 &&
     [ -n "$(ls -A "$merged")" ]; then
    rm -rf "$committed" && mkdir -p "$committed" && cp "$merged"/* "$committed"/
  else
    echo "merge for $name failed, fuzz/corpus left as it was (build/fuzz/merge-$name.log)"
  fi
  echo "merged into $committed: $(find "$committed" -type f | wc -l) inputs," \
    "$(find "$committed" -type f -printf '%s\n' | awk '{ n += $1 } END { print n + 0 }') bytes"
  rm -rf "$candidates" "$merged"
done
