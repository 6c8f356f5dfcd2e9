#!/usr/bin/env bash
# Installs every package the build, the tests and the benchmarks need on Debian 12.
# Safe to run again: packages already present are left alone.
set -euo pipefail
export DEBIAN_FRONTEND=noninteractive

want=(build-essential cmake ninja-build pkg-config zlib1g-dev googletest libgtest-dev
      clang libclang-rt-14-dev libssl-dev
      mingw-w64 g++-mingw-w64-i686-posix gcc-mingw-w64-i686-posix g++-mingw-w64-i686-win32 libz-mingw-w64-dev
      zip unzip p7zip-full libarchive-tools python3 xvfb xauth bc time imagemagick osslsigncode
      fonts-liberation linux-perf strace)
wine_pkgs=(wine wine32:i386)

missing=()
for p in "${want[@]}" "${wine_pkgs[@]}"; do
  dpkg -s "$p" >/dev/null 2>&1 || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  if ! dpkg --print-foreign-architectures | grep -qx i386; then
    dpkg --add-architecture i386
  fi
  # A mirror caught mid-sync fails the index download now and then: try again before giving
  # up, and go on with the indexes that did arrive.
  for attempt in 1 2 3; do
    apt-get update -qq && break
    echo "apt-get update failed (attempt $attempt), retrying" >&2
    sleep 10
  done
  apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
bash "$(dirname "$0")/fetch-zlib-source.sh"
