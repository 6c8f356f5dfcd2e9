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
  exit 77
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
  # unzip's listing is the oracle only where it is clean (no warning either). Names
  # outside ASCII are decoded by different rules (the engine takes unflagged names through
  # the OEM and then the ANSI code page), so those lines are compared by count only.
  if LC_ALL=C.UTF-8 unzip -Z1 "$archive" >"$work/theirs" 2>"$work/theirs.err" && [ ! -s "$work/theirs.err" ]; then
    checked=$((checked + 1))
    if grep -qx "$(basename "$archive")" "$src/tests/e2e/list_corpus_known.txt"; then
      continue
    fi
    if ! python3 - "$work/theirs" "$work/ours" <<'PY'
import sys
theirs_raw = open(sys.argv[1], "rb").read()
if b"^J" in theirs_raw:
    sys.exit(0)  # a name holds a line break: unzip escapes it, a line-based compare cannot
theirs = theirs_raw.split(b"\n")
ours = open(sys.argv[2], "rb").read().split(b"\n")
known = sys.argv[3] if len(sys.argv) > 3 else ""
if len(theirs) != len(ours):
    print(f"  {len(theirs) - 1} names from unzip, {len(ours) - 1} from quillpack")
    sys.exit(1)
for t, o in zip(theirs, ours):
    t, o = t.split(b"\0")[0], o.split(b"\0")[0]  # unzip cuts a name at a zero byte
    if all(b < 0x80 for b in t) and t != o:
        print(f"  unzip: {t!r}  quillpack: {o!r}")
        sys.exit(1)
PY
    then
      echo "FAIL: names differ on $archive"
      failed=$((failed + 1))
    fi
  fi
done < <(find "$corpus" -type f ! -name '*.md' ! -name 'LICENSE*' ! -name '*.base64' -print0 | sort -z)
echo "list corpus: $checked archives compared with unzip, $failed failures"
[ $failed -eq 0 ]
