#!/usr/bin/env bash
# Builds and runs every test: native, under AddressSanitizer and UndefinedBehaviorSanitizer,
# the threaded ones under ThreadSanitizer, the 32-bit Windows build under wine, and a bounded
# fuzz run seeded from the committed corpus and the shared one.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD

bash scripts/install-deps.sh

step() { printf '\n=== %s ===\n' "$*"; }

step "native build and tests"
cmake --preset native >/dev/null
cmake --build --preset native
ctest --preset native

step "asan build and tests"
cmake --preset asan >/dev/null
cmake --build --preset asan
ASAN_OPTIONS=detect_leaks=1:abort_on_error=0 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
  ctest --preset asan

step "tsan build and the threaded tests"
# The decode-ahead workers and the positional reads are what runs on several threads.
cmake --preset tsan >/dev/null
cmake --build --preset tsan --target test_extract test_platform
TSAN_OPTIONS=halt_on_error=1 ctest --preset tsan -R '^(extract|platform)$'

step "win32 build and tests under wine"
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=;winedbg.exe=d"
export WINEPREFIX="${WINEPREFIX:-$HOME/.wine-quillpack}"
# The prefix is made once, before the tests run side by side.
[ -d "$WINEPREFIX" ] || wineboot -i >/dev/null 2>&1 || true
cmake --preset win32 >/dev/null
cmake --build --preset win32
if [ -x scripts/with-display.sh ]; then
  bash scripts/with-display.sh ctest --preset win32
else
  ctest --preset win32
fi

step "fuzz"
bash scripts/fuzz.sh "${QP_FUZZ_SECONDS:-100}"

step "done"
