#!/usr/bin/env bash
# Split sets against Info-ZIP: a set written by `zip -s 64k` (data.z01, ..., data.zip) must
# list through `quillpack list data.zip` the same names, in the same order, as the archive
# joined with `zip -s 0`; so must the same set renamed to the other naming (data_001.zip, ...),
# which the tool finds by itself. A set with a volume missing must fail with a message, not hang.
set -uo pipefail
bin=$1
if ! command -v zip >/dev/null; then
  echo "SKIP: no zip"
  exit 77
fi
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() {
  echo "FAIL: $*"
  exit 1
}

# Enough items with long names that the central directory itself spans several volumes.
mkdir -p "$work/src/sub"
for i in $(seq 1 1200); do echo "line $i" >"$work/src/sub/a_long_item_name_for_a_large_central_directory_$i.txt"; done
head -c 200000 /dev/urandom >"$work/src/random.bin"

mkdir "$work/set"
(cd "$work/src" && zip -q -r -s 64k "$work/set/data.zip" .) || fail "zip -s 64k failed"
[ -f "$work/set/data.z02" ] || fail "zip did not write a split set"
zip -q -s 0 "$work/set/data.zip" --out "$work/joined.zip" || fail "zip -s 0 failed"
"$bin/quillpack" list "$work/joined.zip" >"$work/expected" </dev/null || fail "listing the joined archive"
[ "$(wc -l <"$work/expected")" -ge 1200 ] || fail "the joined archive lists too few names"

timeout 60 "$bin/quillpack" list "$work/set/data.zip" >"$work/split" </dev/null || fail "listing the split set (status $?)"
cmp -s "$work/expected" "$work/split" || fail "the split set lists other names than the joined archive"

# The other naming: data_001.zip, data_002.zip, ..., last volume data.zip.
mkdir "$work/advanced"
for volume in "$work"/set/data.z[0-9][0-9]; do
  number=${volume##*.z}
  cp "$volume" "$work/advanced/data_$(printf '%03d' "$((10#$number))").zip"
done
cp "$work/set/data.zip" "$work/advanced/data.zip"
timeout 60 "$bin/quillpack" list "$work/advanced/data.zip" >"$work/advanced.list" </dev/null ||
  fail "listing the set in the other naming (status $?)"
cmp -s "$work/expected" "$work/advanced.list" || fail "the set in the other naming lists other names"

# A volume that holds part of the directory goes missing: a clear failure, no prompt, no hang.
last_dir_volume=$(ls "$work"/set/data.z[0-9][0-9] | tail -1)
rm "$last_dir_volume"
timeout 60 "$bin/quillpack" list "$work/set/data.zip" >/dev/null 2>"$work/err" </dev/null
rc=$?
[ $rc -eq 1 ] || fail "a set with a missing volume ended with status $rc"
grep -q "Native error: 0004[45]" "$work/err" || fail "a set with a missing volume gave: $(cat "$work/err")"

echo "split sets: zip -s 64k set and its renamed copy list like the joined archive"
