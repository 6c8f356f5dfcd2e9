#!/usr/bin/env bash
# End-to-end tests of the self-extractor, the real program under wine on a virtual display,
# driven through the UI-automation helper (uia.exe) as a user would drive it:
#   normal mode (presets, extracted tree and file times, the start.ini launch), a run in
#   progress, the engine's overwrite question with German buttons, setup mode by file name
#   (also with a temporary folder the ANSI code page cannot spell),
#   a stub with no archive (error box, window stays), a start.ini without a line, a cut-off
#   self-extractor (what is there is extracted, the error box says so, start.ini's program is
#   not run), a self-extractor signed after the archive was appended, an item path over 260
#   characters, and `quillpack sfx`.
# Screenshots go to BUILD/screenshots. Usage: sfx_e2e.sh BUILD_DIR SOURCE_DIR
set -uo pipefail
build=$(cd "$1" && pwd)
source_dir=$(cd "$2" && pwd)
if [ -z "${DISPLAY:-}" ]; then
  exec bash "$source_dir/scripts/with-display.sh" bash "$0" "$@"
fi
bin=$build/bin
shots=$build/screenshots
mkdir -p "$shots"
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=;winedbg.exe=d"
# Captions with umlauts travel through the command line and back as UTF-8.
export LC_ALL=C.UTF-8
export WINEPREFIX="${WINEPREFIX:-$HOME/.wine-quillpack}"
[ -d "$WINEPREFIX" ] || wineboot -i >/dev/null 2>&1
# Wine draws the frames and captions itself (there is no window manager on the virtual
# display), so that the screenshots show the windows as they are.
wine reg add 'HKCU\Software\Wine\X11 Driver' /v Decorated /d N /f >/dev/null 2>&1
# The layout is checked at 96 dots per inch and once at 144; whatever happens, 96 it stays.
set_dpi() { wine reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$1" /f >/dev/null 2>&1; }
set_dpi 96

work=$(mktemp -d /tmp/sfx-e2e.XXXXXX)
stub_pids=()
cleanup() {
  for pid in "${stub_pids[@]}"; do kill "$pid" 2>/dev/null; done
  set_dpi 96
  rm -rf "$work"
}
trap cleanup EXIT

failures=0
current_case=""
fail() {
  echo "FAIL [$current_case]: $*" >&2
  failures=$((failures + 1))
}
expect_eq() {  # ACTUAL EXPECTED WHAT
  [ "$1" == "$2" ] || fail "$3: got '$1', expected '$2'"
}
begin() {
  current_case=$1
  echo "--- $1"
}
winpath() { printf 'Z:%s' "${1//\//\\}"; }
uia() { wine "$bin/uia.exe" "$@" | tr -d '\r'; }
# The text of a control from a "name|text|visible|enabled|checked" line, and the flags.
field() { cut -d'|' -f"$1"; }
# A moment for the X server to show what wine has drawn.
shot() { sleep 0.3 && import -window root "$shots/$1.png" && echo "screenshot $shots/$1.png"; }
start_stub() {  # EXE: started from its own folder, in the background
  (cd "$(dirname "$1")" && exec wine "$1") &
  stub_pids+=($!)
}
wait_for_file() {  # PATH SECONDS
  local i
  for i in $(seq $(($2 * 10))); do
    [ -e "$1" ] && return 0
    sleep 0.1
  done
  return 1
}
# Compares the extracted tree with the source folder: same files, same bytes, and the last-write
# times of the source within the two seconds a ZIP's DOS time can be off (zip rounds up).
same_tree() {  # SOURCE DEST
  local rel src dst diff
  while IFS= read -r rel; do
    src="$1/$rel"
    dst="$2/$rel"
    if [ ! -f "$dst" ]; then fail "missing $rel"; continue; fi
    cmp -s "$src" "$dst" || fail "content of $rel differs"
    diff=$(( $(stat -c %Y "$dst") - $(stat -c %Y "$src") ))
    [ "$diff" -le 2 ] && [ "$diff" -ge -2 ] || fail "time of $rel off by ${diff}s"
  done < <(cd "$1" && find . -type f | sed 's|^\./||' | sort)
}

# The sample: a few files in folders, a start.ini naming a batch file that leaves a marker.
sample=$work/sample
mkdir -p "$sample/docs" "$sample/sub/deeper"
echo "Hallo Welt" > "$sample/readme.txt"
seq 1 20000 > "$sample/docs/numbers.txt"
head -c 100000 /dev/urandom > "$sample/sub/deeper/data.bin"
printf '@echo off\r\necho launched> "%%~dp0launched.txt"\r\n' > "$sample/run.bat"
printf 'run.bat\r\n' > "$sample/start.ini"
touch -d '2021-10-26 12:34:56' "$sample/readme.txt"
touch -d '1999-12-31 23:59:58' "$sample/docs/numbers.txt"
(cd "$sample" && zip -q -r "$work/demo.zip" .)
cat "$bin/sfxstub.exe" "$work/demo.zip" > "$work/demo.exe"

begin "normal mode"
mkdir -p "$work/normal"
cp "$work/demo.exe" "$work/normal/demo.exe"
start_stub "$work/normal/demo.exe"
out=$(uia timeout=60 window=TForm1 size print=edPath print=cboverwrite print=glb_extract print=Label2 print=GaugeZip print=Label3)
expect_eq "$(grep '^size' <<<"$out")" "size|445|173" "client area at 96 dpi"
expect_eq "$(grep '^edPath' <<<"$out" | field 2)" "$(winpath "$work/normal")\\" "destination preset"
expect_eq "$(grep '^cboverwrite' <<<"$out" | cut -d'|' -f3-5)" "1|1|0" "check box visible, enabled, unchecked"
expect_eq "$(grep '^glb_extract' <<<"$out" | field 2)" "Extrahieren/Setup starten" "button caption"
expect_eq "$(grep '^Label2' <<<"$out" | field 2)" "Version für Harlbeck 2021.1026" "version label"
expect_eq "$(grep '^GaugeZip' <<<"$out" | field 3)" "0" "gauge hidden"
expect_eq "$(grep '^Label3' <<<"$out" | cut -d'|' -f2-3)" "|0" "file label cleared and hidden"
shot window-before
# The default-button frame goes with Enter: on the focused push button while one has the
# focus, back on the extract button when Tab moves on to the edit box and the check box.
tabs=$(uia window=TForm1 default=glb_extract default=glb_exit key=TAB sleep=300 focus default=glb_extract \
  default=glb_exit key=TAB sleep=300 focus default=glb_extract key=TAB sleep=300 focus default=glb_extract)
expect_eq "$(tr '\n' ' ' <<<"$tabs")" "default|glb_extract|1 default|glb_exit|0 focus|Programm verlassen ... default|glb_extract|0 \
default|glb_exit|1 focus|$(winpath "$work/normal")\\ default|glb_extract|1 focus|existierende Dateien überschreiben! \
default|glb_extract|1 " "default button while Tab moves the focus"
shot window-focus-on-check-box
# The folder dialog starts without the destination preselected; cancelling it keeps the text.
uia window=TForm1 click=glb_dest >/dev/null
uia timeout=30 dialog='Browse for Folder' >/dev/null || fail "no folder dialog"
shot folder-dialog
uia dialog='Browse for Folder' click=Cancel >/dev/null || fail "folder dialog without Cancel"
expect_eq "$(uia window=TForm1 print=edPath | field 2)" "$(winpath "$work/normal")\\" "destination after a cancelled folder dialog"
uia window=TForm1 click=glb_extract timeout=60 gone >/dev/null || fail "the window did not end after the run"
same_tree "$sample" "$work/normal"
wait_for_file "$work/normal/launched.txt" 20 || fail "start.ini's batch file was not launched"

begin "overwrite question"
echo "old" > "$work/normal/readme.txt"
echo "old" > "$work/normal/docs/numbers.txt"
rm -f "$work/normal/launched.txt"
start_stub "$work/normal/demo.exe"
uia timeout=60 window=TForm1 click=glb_extract >/dev/null || fail "no window"
question=$(uia timeout=60 dialog=Bestätigen dump)
shot overwrite-question
grep -q '^Static#[0-9]*|Overwrite file "Z:[^"]*\\normal\\[^"]*\.txt" with "[^"]*\.txt"|' <<<"$question" ||
  fail "no English overwrite question: $question"
for caption in '&Ja' '&Nein' '&Alle Nein' 'A&lle Ja'; do
  grep -q "^Button#[0-9]*|$caption|1|1|0" <<<"$question" || fail "no button $caption: $question"
done
uia dialog=Bestätigen click='A&lle Ja' >/dev/null
uia timeout=60 absent=TForm1 >/dev/null || fail "the window did not end after Yes to all"
expect_eq "$(cat "$work/normal/readme.txt")" "Hallo Welt" "readme.txt overwritten"
cmp -s "$sample/docs/numbers.txt" "$work/normal/docs/numbers.txt" || fail "numbers.txt not overwritten after Yes to all"
wait_for_file "$work/normal/launched.txt" 20 || fail "start.ini's batch file was not launched again"

begin "a run in progress"
# Two gigabytes of zeros keep the run going for several seconds under wine, long enough to look
# at it and press Exit while it runs. The item is written here directly: one deflated megabyte,
# ended by a full flush so that it refers to nothing before it, repeated, then a final block.
mkdir -p "$work/big"
python3 - "$work/big/big.zip" <<'PY'
import struct, sys, zlib
megabyte, count = bytes(1 << 20), 2000
packer = zlib.compressobj(9, zlib.DEFLATED, -15)
block = packer.compress(megabyte) + packer.flush(zlib.Z_FULL_FLUSH)
ending = zlib.compressobj(9, zlib.DEFLATED, -15).flush()
crc = 0
for _ in range(count):
    crc = zlib.crc32(megabyte, crc)
size, packed, name = len(megabyte) * count, len(block) * count + len(ending), b"zeros.bin"
fields = struct.pack("<HHHHHIII", 20, 0, 8, 0, 0x21, crc, packed, size)
with open(sys.argv[1], "wb") as out:
    out.write(b"PK\x03\x04" + fields + struct.pack("<HH", len(name), 0) + name)
    for _ in range(count):
        out.write(block)
    out.write(ending)
    directory_at = out.tell()
    out.write(b"PK\x01\x02" + struct.pack("<H", 20) + fields +
              struct.pack("<HHHHHII", len(name), 0, 0, 0, 0, 0, 0) + name)
    directory_size = out.tell() - directory_at
    out.write(b"PK\x05\x06" + struct.pack("<HHHHIIH", 0, 0, 1, 1, directory_size, directory_at, 0))
PY
cat "$bin/sfxstub.exe" "$work/big/big.zip" > "$work/big/big.exe"
start_stub "$work/big/big.exe"
uia timeout=60 window=TForm1 click=glb_extract wait=GaugeZip.visible=1 wait=Label3.text=zeros.bin >/dev/null ||
  fail "no gauge during the run"
shot window-during-run
during=$(uia window=TForm1 print=glb_extract print=GaugeZip print=edPath)
expect_eq "$(grep '^glb_extract' <<<"$during" | field 3)" "0" "extract button hidden during the run"
grep -q '^GaugeZip|[0-9]*%|1|' <<<"$during" || fail "gauge not showing a percentage: $during"
# Exit pressed during the run only asks for the end: the run still completes. Pressing and
# waiting are one call, so a run that ends right after the press is not missed.
uia window=TForm1 click=glb_exit timeout=120 gone >/dev/null || fail "the big run did not end after Exit"
expect_eq "$(stat -c %s "$work/big/zeros.bin" 2>/dev/null)" "2097152000" "size of the big file after exit during the run"
rm -f "$work/big/zeros.bin"

begin "many small items, the last one damaged"
# Label changes come at most once per screen frame during a fast run; the item a question is
# about must still be the one the label names while the question is open.
mkdir -p "$work/many"
python3 - "$work/many/many.zip" <<'PY'
import sys, zipfile
path = sys.argv[1]
with zipfile.ZipFile(path, "w", zipfile.ZIP_STORED) as z:
    for i in range(600):
        z.writestr(f"d{i % 7}/item{i:04}.txt", f"item {i}\n" * 3)
    z.writestr("last-damaged.bin", b"intact bytes" * 10)
with zipfile.ZipFile(path) as z:
    info = z.getinfo("last-damaged.bin")
    data_at = info.header_offset + 30 + len(info.filename.encode()) + len(info.extra)
data = bytearray(open(path, "rb").read())
data[data_at + 5] ^= 0xFF  # the CRC-32 no longer matches
open(path, "wb").write(data)
PY
cat "$bin/sfxstub.exe" "$work/many/many.zip" > "$work/many/many.exe"
start_stub "$work/many/many.exe"
uia timeout=60 window=TForm1 click=glb_extract >/dev/null || fail "no window"
uia timeout=60 dialog=Bestätigen >/dev/null || fail "no failure question for the damaged item"
uia timeout=5 window=TForm1 wait=Label3.text=last-damaged.bin >/dev/null ||
  fail "label during the question: $(uia window=TForm1 print=Label3)"
shot failure-question
uia dialog=Bestätigen click='&Ignorieren' >/dev/null || fail "no Ignore button"
uia timeout=60 absent=TForm1 >/dev/null || fail "the run did not end after Ignore"
expect_eq "$(find "$work/many" -name 'item*.txt' | wc -l)" "600" "small items extracted"
[ ! -e "$work/many/last-damaged.bin" ] || fail "the damaged item was kept"

begin "144 dots per inch"
set_dpi 144
start_stub "$work/big/big.exe"
out=$(uia timeout=60 window=TForm1 size)
expect_eq "$out" "size|668|260" "client area scaled to 144 dpi"
shot window-144-dpi
uia window=TForm1 click=glb_exit timeout=30 gone >/dev/null || fail "exit did not end the window"
set_dpi 96

begin "setup mode"
temp_win=$(wine cmd /c echo %TEMP% | tr -d '\r')
temp_unix=$(winepath -u "$temp_win" 2>/dev/null)
mkdir -p "$work/setup-mode" "$temp_unix"
echo "old" > "$temp_unix/readme.txt"
cp "$work/demo.exe" "$work/setup-mode/mysetup.exe"
start_stub "$work/setup-mode/mysetup.exe"
out=$(uia timeout=60 window=TForm1 print=edPath print=glb_extract print=cboverwrite)
expect_eq "$(grep '^edPath' <<<"$out" | field 2)" "$temp_win\\" "setup destination"
expect_eq "$(grep '^glb_extract' <<<"$out" | field 2)" "Setup starten" "setup button caption"
expect_eq "$(grep '^cboverwrite' <<<"$out" | cut -d'|' -f3-5)" "1|0|1" "check box visible, disabled, checked"
shot window-setup-mode
# The extract button has the focus and is the default button: Enter starts the run.
expect_eq "$(uia window=TForm1 focus)" "focus|Setup starten" "focus at start"
uia window=TForm1 key=RETURN timeout=60 gone >/dev/null || fail "setup run did not end after Enter (a question?)"
expect_eq "$(cat "$temp_unix/readme.txt")" "Hallo Welt" "temporary readme.txt overwritten without a question"
same_tree "$sample" "$temp_unix"
wait_for_file "$temp_unix/launched.txt" 20 || fail "setup's batch file was not launched"
(cd "$temp_unix" && rm -rf readme.txt docs sub run.bat start.ini launched.txt)

begin "setup mode, temporary folder outside the ANSI code page"
# The ANSI code page's best fit of this name is another folder ("Lodz-Temp"); the preset and
# the run must use the real one.
odd_unix=$work/Łódź-Temp
odd_win=$(winpath "$odd_unix")
mkdir -p "$odd_unix" "$work/setup-odd"
cp "$work/demo.exe" "$work/setup-odd/Setup.exe"
(cd "$work/setup-odd" && exec wine cmd /c "set TEMP=$odd_win&& set TMP=$odd_win&& Setup.exe") &
stub_pids+=($!)
out=$(uia timeout=60 window=TForm1 print=edPath)
expect_eq "$(grep '^edPath' <<<"$out" | field 2)" "$odd_win\\" "setup destination outside ANSI"
shot window-setup-odd-temp
uia window=TForm1 key=RETURN timeout=60 gone >/dev/null || fail "setup run did not end after Enter"
same_tree "$sample" "$odd_unix"
[ ! -e "$work/Lodz-Temp" ] || fail "items went to the best-fit look-alike folder"
wait_for_file "$odd_unix/launched.txt" 20 || fail "setup's batch file was not launched from the real folder"

begin "stub without an archive"
mkdir -p "$work/empty"
cp "$bin/sfxstub.exe" "$work/empty/plain.exe"
start_stub "$work/empty/plain.exe"
uia timeout=60 window=TForm1 click=glb_extract >/dev/null || fail "no window"
box=$(uia timeout=30 dialog='Self-Extractor STUB' dump)
shot error-box
message=$(grep -v '^window|' <<<"$box" | grep '^Static' | field 2 | grep . | tail -1)
grep -q 'Native error: 00035\.$' <<<"$message" || fail "error box text: '$message'"
uia dialog='Self-Extractor STUB' click=OK >/dev/null || fail "no OK button in the error box"
stuck=$(uia timeout=10 window=TForm1 print=glb_extract print=GaugeZip)
expect_eq "$(grep '^glb_extract' <<<"$stuck" | field 3)" "0" "window stays with the extract button hidden"
expect_eq "$(grep '^GaugeZip' <<<"$stuck" | field 3)" "1" "window stays with the gauge shown"
# No progress was ever reported: the gauge shows 0%, not the value it was made with.
expect_eq "$(grep '^GaugeZip' <<<"$stuck" | field 2)" "0%" "gauge after a failed open"
expect_eq "$(ls "$work/empty")" "plain.exe" "nothing written"
uia window=TForm1 click=glb_exit timeout=30 gone >/dev/null || fail "exit did not end the stuck window"

begin "start.ini without a line"
# The destination is preset with a trailing backslash; the message names the file with
# single separators, as a person reads a path.
mkdir -p "$work/noline-src" "$work/noline"
printf '\xEF\xBB\xBF' > "$work/noline-src/start.ini"
echo "payload" > "$work/noline-src/payload.txt"
(cd "$work/noline-src" && zip -q "$work/noline.zip" start.ini payload.txt)
cat "$bin/sfxstub.exe" "$work/noline.zip" > "$work/noline/noline.exe"
start_stub "$work/noline/noline.exe"
uia timeout=60 window=TForm1 click=glb_extract >/dev/null || fail "no window"
box=$(uia timeout=30 dialog='Self-Extractor STUB' dump)
shot error-box-start-ini
message=$(grep -v '^window|' <<<"$box" | grep '^Static' | field 2 | grep . | tail -1)
expect_eq "$message" "List index out of bounds (0): $(winpath "$work/noline")\\start.ini holds no line." \
  "error text of a start.ini without a line"
uia dialog='Self-Extractor STUB' click=OK >/dev/null || fail "no OK button in the error box"
uia window=TForm1 click=glb_exit timeout=30 gone >/dev/null || fail "exit did not end the stuck window"

begin "cut-off self-extractor"
# A broken download: the copy ends inside the central directory, so there is no end record.
# Every item is recovered from its local header, but the program must not be launched.
mkdir -p "$work/cut"
directory=$(python3 -c 'import sys; d=open(sys.argv[1],"rb").read(); print(d.rfind(b"PK\x01\x02"))' "$work/demo.exe")
head -c "$((directory + 20))" "$work/demo.exe" > "$work/cut/cut.exe"
start_stub "$work/cut/cut.exe"
uia timeout=60 window=TForm1 click=glb_extract >/dev/null || fail "no window"
box=$(uia timeout=60 dialog='Self-Extractor STUB' dump)
shot cut-off-error-box
message=$(grep -v '^window|' <<<"$box" | grep '^Static' | field 2 | grep . | tail -1)
expect_eq "$message" "The archive is damaged or incomplete: some items may be missing. Download the file again." \
  "error box text"
uia dialog='Self-Extractor STUB' click=OK >/dev/null || fail "no OK button in the error box"
same_tree "$sample" "$work/cut"
[ -e "$work/cut/launched.txt" ] && fail "start.ini's program was launched from a cut-off archive"
sleep 2
[ -e "$work/cut/launched.txt" ] && fail "start.ini's program was launched from a cut-off archive"
uia window=TForm1 click=glb_exit timeout=30 gone >/dev/null || fail "exit did not end the window"

begin "signed self-extractor"
mkdir -p "$work/signed"
openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj "/CN=quillpack test signer" \
  -keyout "$work/key.pem" -out "$work/cert.pem" >/dev/null 2>&1
osslsigncode sign -certs "$work/cert.pem" -key "$work/key.pem" -n "quillpack test" \
  -in "$work/demo.exe" -out "$work/signed/signed.exe" >/dev/null || fail "signing failed"
osslsigncode verify -CAfile "$work/cert.pem" -in "$work/signed/signed.exe" >/dev/null 2>&1 || fail "signature does not verify"
start_stub "$work/signed/signed.exe"
uia timeout=60 window=TForm1 click=glb_extract timeout=60 gone >/dev/null || fail "signed run did not end"
same_tree "$sample" "$work/signed"
osslsigncode verify -CAfile "$work/cert.pem" -in "$work/signed/signed.exe" >/dev/null 2>&1 ||
  fail "signature no longer verifies after the run"

begin "path over 260 characters"
long=$work/long-src
deep="folder-with-a-long-name-aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa"
rel="$deep/$deep/$deep/$deep/$deep/item-at-the-end.txt"
mkdir -p "$long/$(dirname "$rel")"
echo "far away" > "$long/$rel"
(cd "$long" && zip -q -r "$work/long.zip" .)
mkdir -p "$work/long"
cat "$bin/sfxstub.exe" "$work/long.zip" > "$work/long/long.exe"
full="$(winpath "$work/long")\\${rel//\//\\}"
[ ${#full} -gt 260 ] || fail "the test path is only ${#full} characters"
start_stub "$work/long/long.exe"
uia timeout=60 window=TForm1 click=glb_extract timeout=60 gone >/dev/null || fail "long-path run did not end"
expect_eq "$(cat "$work/long/$rel" 2>/dev/null)" "far away" "item at ${#full} characters"

begin "quillpack sfx"
wine "$bin/quillpack.exe" sfx "$bin/sfxstub.exe" "$work/demo.zip" "$work/made.exe" >/dev/null ||
  fail "quillpack sfx failed on a good archive"
cmp -s "$work/made.exe" "$work/demo.exe" || fail "quillpack sfx wrote something else than the concatenation"
echo "no archive" > "$work/not-a-zip.txt"
wine "$bin/quillpack.exe" sfx "$bin/sfxstub.exe" "$work/not-a-zip.txt" "$work/bad.exe" >/dev/null 2>&1
expect_eq "$?" "1" "exit status for a file that is no archive"
[ ! -e "$work/bad.exe" ] || fail "a self-extractor that does not read was left behind"

echo
if [ "$failures" -ne 0 ]; then
  echo "$failures check(s) failed" >&2
  exit 1
fi
echo "all self-extractor checks passed; screenshots in $shots"
