#!/usr/bin/env bash
# The main job: installs what is missing, builds, lists and extracts a sample archive with the
# quillpack tool, then builds the Windows self-extractor, makes a demo self-extractor of a
# sample folder and runs it under wine on a virtual display, pressing its extract button.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh
cmake --preset native >/dev/null
cmake --build --preset native

sample=$(mktemp -d)
trap 'rm -rf "$sample"' EXIT
mkdir -p "$sample/in/docs"
echo "Hallo Welt" > "$sample/in/readme.txt"
seq 1 20000 > "$sample/in/docs/numbers.txt"
(cd "$sample/in" && zip -q -r ../sample.zip .)
echo "Items of a sample archive:"
build/native/bin/quillpack list "$sample/sample.zip"
echo "Extracting it:"
build/native/bin/quillpack extract "$sample/sample.zip" -d "$sample/out" -o always
(cd "$sample/out" && find . -type f | sort)

echo
echo "Building the Windows self-extractor (win32 preset):"
cmake --preset win32 >/dev/null
cmake --build --preset win32 --target sfxstub uia
ls -l build/win32/bin/sfxstub.exe
bash scripts/with-display.sh bash scripts/demo-sfx.sh build/win32
echo
echo "For a real Windows machine:"
echo "  $PWD/build/win32/demo/demo.exe"
echo "  $PWD/build/win32/demo/demo-setup.exe"
