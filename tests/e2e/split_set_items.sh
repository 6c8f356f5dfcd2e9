#!/usr/bin/env bash
# Items whose data crosses volume boundaries in `zip -s` sets, into the last volume too: sets
# of mixed sizes at 64k and 1m volumes must pass `quillpack test` and extract byte for byte,
# in both namings; 7-Zip's reader, where installed, passes the same set (the oracle that the
# set itself is sound).
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
q="$bin/quillpack"

# Incompressible data, so that the sizes in the set are the sizes given here; small items
# between large ones put item starts and ends on every side of a boundary.
make_tree() {  # DIR SIZE...
  local dir=$1 i=0 size
  shift
  mkdir -p "$dir/sub"
  for size in "$@"; do
    i=$((i + 1))
    head -c "$size" /dev/urandom >"$dir/sub/item_$i.bin"
  done
  seq 1 20000 >"$dir/text.txt"  # one deflated item
}

check_set() {  # LABEL SET_DIR SOURCE_DIR ARCHIVE_NAME [7z: the oracle reads the set too]
  local label=$1 set=$2 src=$3 name=$4 oracle=${5:-} rc
  local volumes
  volumes=$(ls "$set" | wc -l)
  [ "$volumes" -ge 3 ] || fail "$label: only $volumes volume(s)"
  timeout 120 "$q" test "$set/$name" >"$work/out" 2>&1 </dev/null
  rc=$?
  [ $rc -eq 0 ] || fail "$label: test exits $rc: $(tail -n 3 "$work/out")"
  rm -rf "$work/x"
  timeout 120 "$q" extract "$set/$name" -d "$work/x" >/dev/null 2>"$work/err" </dev/null
  rc=$?
  [ $rc -eq 0 ] || fail "$label: extract exits $rc: $(tail -n 3 "$work/err")"
  diff -r "$src" "$work/x" >/dev/null || fail "$label: the extracted tree differs from the source"
  if [ "$oracle" = 7z ] && command -v 7z >/dev/null; then
    7z t "$set/$name" >/dev/null 2>&1 || fail "$label: 7-Zip does not pass the set"
  fi
}

# 64k volumes: items of 150k, 1k, 70k, 65536, 10, 200k and 64k-ish.
make_tree "$work/src64" 153600 1024 71680 65536 10 204800 65000
mkdir "$work/set64"
(cd "$work/src64" && zip -q -r -s 64k "$work/set64/set.zip" .) || fail "zip -s 64k failed"
check_set "64k set" "$work/set64" "$work/src64" set.zip 7z

# The same set in the other naming: set_001.zip, set_002.zip, ..., last volume set.zip.
mkdir "$work/adv64"
for volume in "$work"/set64/set.z[0-9][0-9]; do
  number=${volume##*.z}
  cp "$volume" "$work/adv64/set_$(printf '%03d' "$((10#$number))").zip"
done
cp "$work/set64/set.zip" "$work/adv64/set.zip"
check_set "64k set, other naming" "$work/adv64" "$work/src64" set.zip

# 1m volumes: items of 2.5m, 300k, 1m exactly, 1.2m.
make_tree "$work/src1m" 2621440 307200 1048576 1258291
mkdir "$work/set1m"
(cd "$work/src1m" && zip -q -r -s 1m "$work/set1m/big.zip" .) || fail "zip -s 1m failed"
check_set "1m set" "$work/set1m" "$work/src1m" big.zip 7z

echo "split set items: 64k and 1m sets with items across every boundary test and extract right"
