#!/usr/bin/env bash
# The self-extractor demo of the main job: makes demo.exe (the stub with a ZIP of a sample
# folder, written by Info-ZIP zip, with a start.ini) and demo-setup.exe (the same file under a
# setup name), runs demo.exe under wine on the display in DISPLAY, presses its extract button
# through the tests' UI-automation helper, shows the extracted tree and saves a screenshot.
# Expects the win32 build (sfxstub.exe, uia.exe). Usage: demo-sfx.sh BUILD_DIR
set -euo pipefail
build=$(cd "$1" && pwd)
bin=$build/bin
demo=$build/demo
shots=$build/screenshots
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=;winedbg.exe=d" LC_ALL=C.UTF-8
export WINEPREFIX="${WINEPREFIX:-$HOME/.wine-quillpack}"
[ -d "$WINEPREFIX" ] || wineboot -i >/dev/null 2>&1
# No window manager on the virtual display: wine draws the frames itself.
wine reg add 'HKCU\Software\Wine\X11 Driver' /v Decorated /d N /f >/dev/null 2>&1
uia() { wine "$bin/uia.exe" "$@" | tr -d '\r'; }

rm -rf "$demo"
mkdir -p "$demo/sample/docs" "$demo/run" "$shots"
printf 'Hallo Welt!\r\nDieses Archiv hat sich selbst entpackt.\r\n' > "$demo/sample/liesmich.txt"
seq 1 20000 > "$demo/sample/docs/numbers.txt"
# start.ini names the file to open afterwards: on Windows the text opens in the editor (a
# prefix without a .txt association, as wine's may be, opens nothing).
printf 'liesmich.txt\r\n' > "$demo/sample/start.ini"
(cd "$demo/sample" && zip -q -r ../demo.zip .)
cat "$bin/sfxstub.exe" "$demo/demo.zip" > "$demo/demo.exe"
cp "$demo/demo.exe" "$demo/demo-setup.exe"

cp "$demo/demo.exe" "$demo/run/demo.exe"
(cd "$demo/run" && exec wine demo.exe) &
stub=$!
uia timeout=60 window=TForm1 print=edPath print=glb_extract
import -window root "$shots/demo-window.png"
echo "Pressing the extract button"
uia window=TForm1 click=glb_extract timeout=60 gone
wait "$stub" || true
echo "Extracted tree:"
(cd "$demo/run" && find . -path ./demo.exe -prune -o -print | sort)
echo "Screenshot of the window: $shots/demo-window.png"
