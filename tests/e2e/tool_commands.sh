#!/usr/bin/env bash
# The tool as someone who knows unzip uses it: `test` on good, damaged and cut archives and
# on selected items (lines, summary, exit status), `list -v` against what `unzip -v` says of
# an Info-ZIP archive, plain `list` unchanged, and --help and --version.
set -uo pipefail
bin=$1
src=$2
q=$bin/quillpack
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() {
  echo "FAIL: $*"
  exit 1
}

mkdir -p "$work/in/sub" && cd "$work/in" || fail "scratch folder"
python3 - <<'PY' || fail "making the files"
import random
rng = random.Random(14)
words = ['alpha', 'beta', 'gamma', 'delta', 'epsilon']
open('text.txt', 'w').write(' '.join(rng.choice(words) for _ in range(40000)))
open('sub/noise.bin', 'wb').write(bytes(rng.randrange(256) for _ in range(3000)))
open('sub/empty.txt', 'w').close()
open('tiny.txt', 'w').write('hi\n')
PY
zip -q -X -r "$work/good.zip" text.txt sub tiny.txt || fail "zip"
cd "$work" || fail "cd"

# test: a good archive passes, with the summary on stdout.
out=$("$q" test good.zip) || fail "test of a good archive exits $?"
[ "$out" = "no errors in 4 item(s)" ] || fail "summary of a good archive: $out"

# A flipped byte inside text.txt's data: that item fails, named, and the exit status is 1.
python3 - good.zip bad.zip <<'PY' || fail "damaging"
import sys
d = bytearray(open(sys.argv[1], 'rb').read())
i = d.index(b'text.txt') + len('text.txt') + 200
d[i] ^= 0xFF
open(sys.argv[2], 'wb').write(d)
PY
out=$("$q" test bad.zip)
rc=$?
[ $rc -eq 1 ] || fail "test of a damaged archive exits $rc"
[ "$(echo "$out" | grep -c '^text.txt: ')" = 1 ] || fail "no line for the damaged item: $out"
[ "$(echo "$out" | wc -l)" = 2 ] || fail "other items reported as failing: $out"
echo "$out" | grep -q '^1 of 4 item(s) failed' || fail "summary of a damaged archive: $out"
unzip -tqq bad.zip >/dev/null 2>&1 && fail "the oracle does not see the damage either"

# Selecting only the good items passes; selecting the bad one fails; a mask without a match
# is no success.
"$q" test bad.zip 'sub/*' tiny.txt >/dev/null || fail "test of the undamaged items"
"$q" test bad.zip text.txt >/dev/null && fail "test of the damaged item passed"
"$q" test good.zip nosuch.txt >/dev/null 2>&1
rc=$?
[ $rc -eq 1 ] || fail "a mask without a match exits $rc"

# An archive cut short inside text.txt's data: not a pass.
size=$(stat -c %s good.zip)
head -c $((size / 2)) good.zip >cut.zip
"$q" test cut.zip >/dev/null 2>&1 && fail "test of a cut archive passed"

# Nothing is written by a test.
[ -z "$(ls -A "$work/in/.." | grep -v -e '\.zip$' -e '^in$')" ] || fail "test wrote files"

# list -v: size, packed size, CRC-32 and method per name, as unzip -v reports them.
"$q" list -v good.zip >listing || fail "list -v"
unzip -v good.zip | awk 'length($7) == 8 && $7 ~ /^[0-9a-f]+$/ {print $NF, $1, $3, $7, $2}' | sort >oracle
awk 'NR > 2 && $NF !~ /items?$/ && $1 ~ /^[0-9]+$/ {print $NF, $1, $2, $7, $4}' listing | sort |
  sed -e 's/ deflate$/ Defl:N/' -e 's/ stored$/ Stored/' >ours
diff oracle ours >/dev/null || fail "list -v disagrees with unzip -v: $(diff oracle ours)"
total_size=$(unzip -v good.zip | tail -1 | awk '{print $1}')
total_packed=$(unzip -v good.zip | tail -1 | awk '{print $2}')
tail -1 listing | grep -Eq "^ *$total_size +$total_packed +[0-9-]+% +5 items$" ||
  fail "totals: $(tail -1 listing) against $total_size $total_packed"
tail -1 listing | grep -q " $(unzip -v good.zip | tail -1 | awk '{print $3}') " || fail "total ratio differs from unzip's"

# Plain list stays the names only, byte for byte.
printf 'text.txt\nsub/\nsub/noise.bin\nsub/empty.txt\ntiny.txt\n' >names
"$q" list good.zip | sort >listed
sort names | diff - listed >/dev/null || fail "plain list changed: $(cat listed)"

# --help on stdout with status 0 and every exit status; --version with both versions.
help=$("$q" --help 2>/dev/null) || fail "--help exits $?"
for status in 0 1 2 3; do
  echo "$help" | grep -q "^  $status  " || fail "--help does not explain exit status $status"
done
version=$(sed -n 's/^project(quillpack VERSION \([0-9.]*\).*/\1/p' "$src/CMakeLists.txt")
[ "$("$q" --version)" = "quillpack $version (archive component 6.94)" ] || fail "--version: $("$q" --version)"
"$q" >/dev/null 2>&1
[ $? -eq 2 ] || fail "no command is not a usage error"
"$q" test >/dev/null 2>&1
[ $? -eq 2 ] || fail "test without an archive is not a usage error"
echo "tool commands: ok"
