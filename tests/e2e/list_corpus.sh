#!/usr/bin/env bash
# Differential listing: for every archive of the shared corpus that `unzip -Z1` lists
# without error, `quillpack list` must print the same names in the same order; for the
# others it must either list or fail with a message, never crash or hang.
set -uo pipefail
bin=$1
src=$2
corpus="$src/../shared/corpus"
if [ ! -d "$corpus" ] || ! command -v unzip >/dev/null; then
  echo "SKIP: no corpus or no unzip"
  exit 0
fi
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
checked=0
failed=0
while IFS= read -r -d '' archive; do
  timeout 20 "$bin/quillpack" list "$archive" >"$work/ours" 2>"$work/err"
  rc=$?
  if [ $rc -ne 0 ] && [ $rc -ne 1 ]; then
    echo "FAIL: quillpack list crashed or hung (status $rc) on $archive"
    failed=$((failed + 1))
    continue
  fi
  if [ $rc -eq 1 ] && [ ! -s "$work/err" ]; then
    echo "FAIL: quillpack list failed without a message on $archive"
    failed=$((failed + 1))
    continue
  fi
  # unzip's listing is the oracle only where it is clean.
  if LC_ALL=C unzip -Z1 "$archive" >"$work/theirs" 2>/dev/null; then
    checked=$((checked + 1))
    if ! cmp -s "$work/ours" "$work/theirs"; then
      echo "FAIL: names differ on $archive"
      diff "$work/theirs" "$work/ours" | head -5
      failed=$((failed + 1))
    fi
  fi
done < <(find "$corpus" -type f ! -name '*.md' ! -name 'LICENSE*' ! -name '*.base64' -print0 | sort -z)
echo "list corpus: $checked archives compared with unzip, $failed failures"
[ $failed -eq 0 ]
