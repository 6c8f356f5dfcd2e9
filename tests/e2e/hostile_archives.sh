#!/usr/bin/env bash
# The tool against archives crafted to cost more than they hold: items that share bytes (a
# zip bomb without nesting), ZIP64 entry counts beyond 32 bits, and files dense with local
# header signatures. Every run is bounded in time (timeout) and memory (ulimit -v), so a
# regression fails here instead of filling the disk or the machine.
set -uo pipefail
bin=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() {
  echo "FAIL: $*"
  exit 1
}
# run SECONDS KILOBYTES CMD...: the command under a time-out and an address-space limit; its
# status is 124 when it ran out of time.
# A sanitizer build reserves terabytes of shadow address space at start, so under one only the
# time-out holds; the plain build checks the memory bound.
sanitized=0
grep -q __asan_init "$bin/quillpack" 2>/dev/null && sanitized=1
run() {
  local seconds=$1 kb=$2
  shift 2
  [ "$sanitized" = 1 ] && kb=unlimited
  timeout "$seconds" bash -c 'ulimit -v "$0"; exec "$@"' "$kb" "$@"
}

python3 - "$work" <<'PY' || fail "making the archives"
import struct, sys, zipfile, zlib
work = sys.argv[1]

def local(name, data, crc, size):
    return struct.pack("<IHHHHHIIIHH", 0x04034B50, 20, 0, 8, 0, 0, crc, len(data), size, len(name), 0) + name + data

def central(name, crc, csize, size, offset):
    return struct.pack("<IHHHHHHIIIHHHHHII", 0x02014B50, 20, 20, 0, 8, 0, 0, crc, csize, size,
                       len(name), 0, 0, 0, 0, 0x20, offset) + name

def end(count, dsize, doff):
    return struct.pack("<IHHHHIIH", 0x06054B50, 0, 0, count, count, dsize, doff, 0)

# Many items whose central entries all name one local header holding 1 MiB of zeros.
kernel = b"\0" * (1 << 20)
comp = zlib.compress(kernel, 9)[2:-4]
crc = zlib.crc32(kernel)
body = local(b"k", comp, crc, len(kernel))
cd = b"".join(central(b"f%03d" % i, crc, len(comp), len(kernel), 0) for i in range(200))
open(work + "/shared.zip", "wb").write(body + cd + end(200, len(cd), len(body)))

# Item one's stored data quotes item two whole (header and data), as an overlapping bomb does.
two = local(b"b", comp, crc, len(kernel))
one_data = two
one = struct.pack("<IHHHHHIIIHH", 0x04034B50, 20, 0, 0, 0, 0, zlib.crc32(one_data), len(one_data),
                  len(one_data), 1, 0) + b"a" + one_data
cd = central(b"a", zlib.crc32(one_data), len(one_data), len(one_data), 0)
cd = cd[:10] + struct.pack("<H", 0) + cd[12:]  # stored
cd += central(b"b", crc, len(comp), len(kernel), 31)
open(work + "/quoting.zip", "wb").write(one + cd + end(2, len(cd), len(one)))

# Three items; the ZIP64 end record claims 2^32+1 and 2^63 of them.
for label, count in (("4g1", (1 << 32) + 1), ("2e63", 1 << 63)):
    path = work + "/count" + label + ".zip"
    with zipfile.ZipFile(path, "w") as z:
        for n in ("one.txt", "two.txt", "three.txt"):
            z.writestr(n, "data of " + n)
    raw = open(path, "rb").read()
    e = raw.rindex(b"PK\5\6")
    dsize, doff = struct.unpack("<II", raw[e + 12:e + 20])
    z64 = struct.pack("<IQHHIIQQQQ", 0x06064B50, 44, 45, 45, 0, 0, count, count, dsize, doff)
    loc = struct.pack("<IIQI", 0x07064B50, 0, e, 1)
    tail = struct.pack("<IHHHHIIH", 0x06054B50, 0, 0, 0xFFFF, 0xFFFF, dsize, doff, 0)
    open(path, "wb").write(raw[:e] + z64 + loc + tail)

# 40 MB of local header signatures 4 bytes apart, no end record.
open(work + "/flood.bin", "wb").write(b"PK\3\4" * (10 * 1024 * 1024))
# 1.4 million empty local headers (stored, no name, no data), no end record.
open(work + "/empty.bin", "wb").write(struct.pack("<IHHHHHIIIHH", 0x04034B50, 10, 0, 0, 0, 0, 0, 0, 0, 0, 0) * 1400000)
# 1.4 million local headers of one-letter items without data: each is an item.
open(work + "/named.bin", "wb").write((struct.pack("<IHHHHHIIIHH", 0x04034B50, 10, 0, 0, 0, 0, 0, 0, 0, 1, 0) + b"a") * 1400000)
PY

# Shared bytes are refused at open, before anything is written or tested.
for archive in shared quoting; do
  for command in test extract; do
    where=()
    [ "$command" = extract ] && where=(-d "$work/out-$archive")
    run 20 400000 "$bin/quillpack" $command "$work/$archive.zip" "${where[@]}" </dev/null >"$work/out" 2>"$work/err"
    status=$?
    [ "$status" -ne 124 ] || fail "$command $archive.zip ran out of time"
    [ "$status" -ne 0 ] || fail "$command $archive.zip succeeded: $(cat "$work/out")"
    grep -q "overlapping items, possible zip bomb - Native error: 00048" "$work/err" ||
      fail "$command $archive.zip: no reason given: $(cat "$work/err")"
  done
  [ -z "$(find "$work/out-$archive" -type f 2>/dev/null)" ] || fail "$archive.zip wrote files"
done

# A ZIP64 count is never cut to 32 bits: all three items are there, whatever it claims. The
# count is damage the directory's size shows, so the directory is rebuilt: extract writes
# every item and still exits 1, saying so.
for label in 4g1 2e63; do
  run 20 400000 "$bin/quillpack" list "$work/count$label.zip" >"$work/out" 2>"$work/err" ||
    fail "list count$label.zip: $(cat "$work/err")"
  [ "$(grep -c 'txt' "$work/out")" -eq 3 ] || fail "count$label.zip lists: $(cat "$work/out")"
  run 20 400000 "$bin/quillpack" extract "$work/count$label.zip" -d "$work/x$label" </dev/null >/dev/null 2>"$work/err"
  status=$?
  [ "$status" -eq 1 ] || fail "extract count$label.zip exits $status: $(cat "$work/err")"
  grep -q 'damaged' "$work/err" || fail "extract count$label.zip does not say it rebuilt: $(cat "$work/err")"
  [ "$(cat "$work/x$label/three.txt")" = "data of three.txt" ] || fail "count$label.zip lost an item"
done

# The rebuild reads a signature flood once; dense empty headers stay within memory.
start=$(date +%s%N)
run 30 400000 "$bin/quillpack" list "$work/flood.bin" >/dev/null 2>&1
status=$?
[ "$status" -ne 124 ] || fail "the signature flood ran out of time"
echo "signature flood (40 MB): $(( ($(date +%s%N) - start) / 1000000 )) ms, status $status"
start=$(date +%s%N)
run 60 200000 "$bin/quillpack" list "$work/empty.bin" >/dev/null 2>"$work/err"
status=$?
[ "$status" -ne 124 ] || fail "1.4 million empty headers ran out of time"
[ "$status" -ne 137 ] && ! grep -qi "memory\|bad_alloc" "$work/err" || fail "1.4 million empty headers ran out of memory"
echo "1.4 million empty headers: $(( ($(date +%s%N) - start) / 1000000 )) ms, status $status"
# Every one of them an item: the directory holds the records and nothing more (no second copy
# of every name before a lookup by name needs one).
start=$(date +%s%N)
run 60 330000 "$bin/quillpack" list "$work/named.bin" >"$work/out" 2>"$work/err"
status=$?
[ "$status" -ne 124 ] || fail "1.4 million one-letter items ran out of time"
[ "$status" -ne 137 ] && ! grep -qi "memory\|bad_alloc" "$work/err" || fail "1.4 million one-letter items ran out of memory"
[ "$(grep -c '' "$work/out")" -ge 1400000 ] || fail "1.4 million one-letter items: not all listed: $(tail -c 300 "$work/err")"
echo "1.4 million one-letter items: $(( ($(date +%s%N) - start) / 1000000 )) ms, status $status"
echo "hostile archives: all checks passed"
