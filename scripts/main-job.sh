#!/usr/bin/env bash
# The main job: installs what is missing, builds, and lists the items of a sample archive
# with the quillpack tool.
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
