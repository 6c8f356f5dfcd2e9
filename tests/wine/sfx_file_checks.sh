#!/usr/bin/env bash
# Checks of the self-extractor's file that need no display: a 32-bit GUI program; an import
# table that names only DLLs on Windows' KnownDLLs list (anything else could be planted
# beside a downloaded installer and loaded from there); ASLR and DEP; the manifest and the
# version resource; and the size the stub adds to every archive, with the largest
# contributors from the linker map. Usage: sfx_file_checks.sh BUILD_DIR
set -uo pipefail
build=$(cd "$1" && pwd)
stub=$build/bin/sfxstub.exe
map=$build/sfxstub.map
source_dir=$(cd "$(dirname "$0")/../.." && pwd)
objdump=i686-w64-mingw32-objdump
goal=$((256 * 1024))
limit=$((320 * 1024))
# Windows 10's KnownDLLs (HKLM\SYSTEM\CurrentControlSet\Control\Session Manager\KnownDLLs)
# that a GUI program may need; ntdll is always loaded from the system folder.
known="advapi32 clbcatq combase comdlg32 coml2 gdi32 gdiplus imagehlp imm32 kernel32 msctf msvcrt normaliz
       nsi ole32 oleaut32 psapi rpcrt4 sechost setupapi shcore shell32 shlwapi user32 wldap32 ws2_32 ntdll"

failures=0
fail() {
  echo "FAIL: $*" >&2
  failures=$((failures + 1))
}

[ -f "$stub" ] || { echo "FAIL: $stub not built" >&2; exit 1; }
headers=$($objdump -p "$stub")

file -b "$stub" | grep -q '^PE32 executable (GUI) Intel 80386' || fail "not a 32-bit GUI program: $(file -b "$stub")"
grep -q 'DYNAMIC_BASE' <<<"$headers" || fail "no ASLR (dynamic base)"
grep -q 'NX_COMPAT' <<<"$headers" || fail "no DEP (NX compatible)"

echo "imported DLLs:"
while read -r dll; do
  name=$(tr 'A-Z' 'a-z' <<<"${dll%.dll}")
  name=${name%.DLL}
  echo "  $dll"
  grep -qw "$name" <<<"$known" || fail "$dll is not a KnownDLL: it would be searched for beside the program"
done < <(sed -n 's/^\s*DLL Name: //p' <<<"$headers")
grep -qi 'DLL Name: comctl32' <<<"$headers" && fail "comctl32 must be loaded at run time, not imported"

# The manifest: common controls 6 for the task dialog, resolution awareness, no elevation.
# (Read once into variables: grep -q ending a pipe early would fail it under pipefail.)
texts=$(strings -n 8 "$stub")
wide_texts=$(strings -el "$stub")
grep -q 'Microsoft.Windows.Common-Controls' <<<"$texts" || fail "no common-controls 6 manifest"
grep -q 'PerMonitorV2' <<<"$texts" || fail "no DPI awareness in the manifest"
grep -q 'asInvoker' <<<"$texts" || fail "no execution level: a *setup* name would ask for elevation"
grep -q '2021.1026' <<<"$wide_texts" || fail "no version resource"

size=$(stat -c %s "$stub")
printf 'sfxstub.exe: %d bytes (%d KiB); goal %d KiB, limit %d KiB\n' "$size" $((size / 1024)) $((goal / 1024)) $((limit / 1024))
if [ "$size" -le "$goal" ]; then echo "within the goal"; else echo "note: above the goal of $((goal / 1024)) KiB"; fi
[ "$size" -le "$limit" ] || fail "the stub is larger than $((limit / 1024)) KiB"
if [ -f "$map" ]; then
  python3 "$source_dir/scripts/map-sizes.py" "$map" 12
  echo "(the map's .eh_frame parts are counted before the unwinding tables were shrunk)"
  # The stub's threads are the system's own; the runtime's thread emulation layer must not
  # come along through some library object that still asks for it.
  if grep -q 'libwinpthread' "$map"; then
    fail "the thread emulation layer is linked in: $(grep -o 'libwinpthread[^ ]*' "$map" | sort -u | head -3 | tr '\n' ' ')"
  fi
else
  fail "no linker map at $map"
fi

[ "$failures" -eq 0 ] || exit 1
echo "stub file checks passed"
