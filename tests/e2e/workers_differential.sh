#!/usr/bin/env bash
# `quillpack extract` and `quillpack test` with decode-ahead workers against the same commands
# with QP_WORKERS=0 (everything on one thread): over the shared corpus (when present) and over
# archives made here by zip, 7z and Python (many items, mixed sizes, a damaged item in the
# middle, an encrypted item among plain ones), the exit status, the output on stdout and
# stderr (with the destination's name taken out) and the tree written must be the same.
#
# usage: workers_differential.sh BIN_DIR SOURCE_DIR
set -uo pipefail

bin_dir=$(cd "$1" && pwd)
source_dir=$(cd "$2" && pwd)
quillpack=$bin_dir/quillpack
corpus=$source_dir/../shared/corpus
[ -x "$quillpack" ] || { echo "no quillpack in $bin_dir" >&2; exit 1; }
command -v zip >/dev/null || { echo "zip not installed: skipped"; exit 77; }

work=$(mktemp -d "${TMPDIR:-/tmp}/qp-workers.XXXXXX")
trap 'chmod -R u+w "$work" 2>/dev/null; rm -rf "$work"' EXIT
failures=0
checked=0

fail() {
  echo "FAIL: $*" >&2
  failures=$((failures + 1))
}

# One command in both ways; $1 is the archive, the rest the command's words after it.
run_both() {
  local archive=$1 kind=$2 name sandbox w rc
  name=$(basename "$archive")
  sandbox=$work/run/$name.$kind
  for w in 0 2; do
    mkdir -p "$sandbox/w$w"
    if [ "$kind" = extract ]; then
      (cd "$sandbox" && QP_WORKERS=$w timeout 120 "$quillpack" extract "$archive" -d "$sandbox/w$w/out" -o always \
          -p secret </dev/null >"$sandbox/w$w/stdout" 2>"$sandbox/w$w/stderr")
    else
      (cd "$sandbox" && QP_WORKERS=$w timeout 120 "$quillpack" test "$archive" -p secret \
          </dev/null >"$sandbox/w$w/stdout" 2>"$sandbox/w$w/stderr")
    fi
    rc=$?
    echo "$rc" >"$sandbox/w$w/rc"
    # Messages name the destination with '/' or, in the engine's form, with '\'.
    DEST_SLASH="$sandbox/w$w/out" DEST_BACK="$(printf '%s' "$sandbox/w$w/out" | tr / '\\')" \
      perl -pi -e 's/\Q$ENV{DEST_SLASH}\E/DEST/g; s/\Q$ENV{DEST_BACK}\E/DEST/g' \
      "$sandbox/w$w/stdout" "$sandbox/w$w/stderr"
  done
  checked=$((checked + 1))
  if [ "$(cat "$sandbox/w0/rc")" -ge 124 ]; then fail "$name $kind: crashed or hung (exit $(cat "$sandbox/w0/rc"))"; fi
  if ! diff -r "$sandbox/w0" "$sandbox/w2" >"$sandbox/diff" 2>&1; then
    fail "$name $kind: with workers it differs: $(head -n 8 "$sandbox/diff")"
  fi
  chmod -R u+w "$sandbox" 2>/dev/null
  rm -rf "$sandbox"
}

# ----- archives made here -----
src=$work/src
made=$work/made
mkdir -p "$src/pkg" "$made"
python3 - "$src/pkg" <<'PY'
import os, random, sys
out = sys.argv[1]
rng = random.Random(23)
words = [''.join(rng.choice('etaoinshrdlu') for _ in range(rng.randint(2, 9))) for _ in range(3000)]
def text(n):
    s, have = [], 0
    while have < n:
        s.append(' '.join(rng.choices(words, k=12)) + '\n')
        have += len(s[-1])
    return ''.join(s)[:n].encode()
sizes = [0, 1, 500, 70000, 1 << 20, (1 << 20) + 1, 3 << 20] + [rng.randint(100, 200000) for _ in range(150)]
for i, n in enumerate(sizes):
    d = os.path.join(out, 'd%d' % (i % 9))
    os.makedirs(d, exist_ok=True)
    with open(os.path.join(d, 'f%03d.txt' % i), 'wb') as f:
        f.write(text(n) if i % 5 else os.urandom(n))
PY
(cd "$src" && zip -q -r "$made/pkg.zip" pkg)
(cd "$src" && zip -q -0 -r "$made/pkg-stored.zip" pkg)
if command -v 7z >/dev/null; then (cd "$src" && 7z a -tzip -bd "$made/pkg-7z.zip" pkg >/dev/null); fi
# An encrypted item among plain ones.
cp "$made/pkg.zip" "$made/pkg-encrypted.zip"
printf 'hidden\n' >"$src/secret.txt"
(cd "$src" && zip -q -P secret "$made/pkg-encrypted.zip" secret.txt)
# Damaged in the middle: bytes of one item's data overwritten.
python3 - "$made/pkg.zip" "$made/pkg-damaged.zip" <<'PY'
import sys, zipfile
src, dst = sys.argv[1], sys.argv[2]
data = bytearray(open(src, 'rb').read())
with zipfile.ZipFile(src) as z:
    infos = [i for i in z.infolist() if i.compress_size > 4000]
    victim = infos[len(infos) // 2]
start = victim.header_offset + 30 + len(victim.filename.encode()) + len(victim.extra)
for k in range(1000, 1100):
    data[start + k] ^= 0x5A
open(dst, 'wb').write(bytes(data))
PY

for archive in "$made"/*.zip; do
  run_both "$archive" extract
  run_both "$archive" test
done

# ----- the shared corpus -----
if [ -d "$corpus" ]; then
  while IFS= read -r -d '' archive; do
    run_both "$archive" extract
  done < <(find "$corpus" -name '*.zip' -print0 | sort -z)
else
  echo "no shared corpus at $corpus: only the archives made here"
fi

echo "workers differential: $checked runs compared, $failures failures"
[ $failures -eq 0 ]
