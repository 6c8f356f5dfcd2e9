#!/usr/bin/env bash
# Throughput of the crypto primitives (AES-256-CTR, SHA-1, HMAC-SHA1 over 128 MiB) next to
# OpenSSL's `openssl speed -evp aes-256-ctr`, `-evp sha1` and `-hmac sha1` (16 KiB blocks), in
# the same run, with the ratio. Goal: quillpack within 1.5x of OpenSSL on each.
#
# Usage: bench/crypto_speed.sh [--with-portable]   (also measure the table-driven/portable paths)
# The bench program is compiled here from crypto/*.cpp with g++ -O2, so it does not depend on
# the state of a build tree. CXX overrides the compiler.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
"${CXX:-g++}" -std=c++20 -O2 -I"$root" "$root"/crypto/*.cpp "$root"/bench/crypto_speed.cpp -o "$work/crypto_speed"

seconds=${OPENSSL_SECONDS:-3}
# openssl speed reports thousands of bytes per second; convert to MB/s (10^6 bytes).
openssl_rate() {
  openssl speed -seconds "$seconds" -bytes 16384 "$@" 2>/dev/null |
    awk 'END { v = $NF; sub(/k$/, "", v); printf "%.1f", v / 1000 }'
}

ours=$("$work/crypto_speed" "$@")
echo "$ours" | grep '^#'
ssl_aes=$(openssl_rate -evp aes-256-ctr)
ssl_sha=$(openssl_rate -evp sha1)
ssl_hmac=$(openssl_rate -hmac sha1)
echo "$(openssl version)"
printf '%-12s %14s %14s %8s\n' primitive "quillpack MB/s" "openssl MB/s" "ratio"
row() {  # name, our label, openssl figure
  local v
  v=$(echo "$ours" | awk -v n="$1" '$1 == "quillpack" && $2 == n { print $3 }')
  printf '%-12s %14s %14s %7.2fx\n' "$1" "$v" "$2" "$(awk -v a="$2" -v b="$v" 'BEGIN { print a / b }')"
}
row aes-256-ctr "$ssl_aes"
row sha1 "$ssl_sha"
row hmac-sha1 "$ssl_hmac"
if echo "$ours" | grep -q '^portable'; then
  echo "portable paths (no AES-NI/SHA-NI):"
  echo "$ours" | grep '^portable'
fi
echo "(ratio = openssl / quillpack; below 1.5 meets the goal)"
