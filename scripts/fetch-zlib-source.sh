#!/usr/bin/env bash
# Fetches zlib's source as Debian 12 ships it (the same release as the mingw-w64 zlib package)
# into build/zlib-source, for the Windows programs to build their inflater from: compiled for
# size with one section per function, it is 11 KB smaller in the self-extractor than the
# prebuilt library. Not kept in the repository; without it the build uses the prebuilt one.
# Uses a private apt state, so the system's package lists are left as they are.
set -euo pipefail
cd "$(dirname "$0")/.."
dest=build/zlib-source
[ -f "$dest/inflate.c" ] && exit 0

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/lists/partial" "$work/cache/archives/partial"
echo "deb-src http://deb.debian.org/debian bookworm main" >"$work/sources.list"
apt=(apt-get -qq -o Dir::Etc::SourceList="$work/sources.list" -o Dir::Etc::SourceParts=/dev/null
     -o Dir::State::Lists="$work/lists" -o Dir::Cache="$work/cache" -o APT::Sandbox::User=root)
for attempt in 1 2 3; do
  "${apt[@]}" update && break
  echo "fetching the source index failed (attempt $attempt), retrying" >&2
  sleep 10
done
(cd "$work" && "${apt[@]}" source --download-only zlib)
mkdir "$work/src"
tar -xf "$work"/zlib_*.orig.tar.* -C "$work/src" --strip-components=1
mkdir -p "$dest"
cp "$work"/src/{LICENSE,README,*.c,*.h} "$dest"/
echo "zlib source: $(sed -n 's/^#define ZLIB_VERSION "\(.*\)"/\1/p' "$dest/zlib.h") in $dest"
