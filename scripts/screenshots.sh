#!/usr/bin/env bash
# Takes the pictures of the program's windows shown in the README (docs/*.png) in the demo's
# prefix (its sample drive D: opened in the main window), under Wine on a virtual display of its
# own, so that no other window shows in them: every window at 96 dots per inch, and the main
# window again at 144 (docs/main-window-144dpi.png).
set -euo pipefail
source "$(dirname "$0")/lib.sh"

PACKAGES+=(imagemagick)
install_missing_packages
build_arch x86_64
unset DISPLAY
trap 'stop_wine; stop_display' EXIT
ensure_display
use_demo_prefix
program_folder="$WINEPREFIX/drive_c/Program Files/Tarnwick"
cp "$BUILD/x86_64/bin/Screenshots.exe" "$program_folder/"
start_wine
cd "$DEMO/files"
shots="$WINEPREFIX/drive_c/screenshots"
mkdir -p "$ROOT/docs"

shoot() { # dpi
    rm -rf "$shots"
    mkdir -p "$shots"
    # As on a first start; and Wine takes the screen's DPI from here when a program starts.
    "$WINE64" reg delete 'HKCU\Software\Kestrium' /f >/dev/null 2>&1 || true
    "$WINE64" reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$1" /f >/dev/null 2>&1
    "$WINE64" "$program_folder/Screenshots.exe" 'C:\screenshots'
}

shoot 96
for picture in "$shots"/*.bmp; do
    convert "$picture" "$ROOT/docs/$(basename "${picture%.bmp}").png"
done
shoot 144
convert "$shots/main-window.bmp" "$ROOT/docs/main-window-144dpi.png"
"$WINE64" reg delete 'HKCU\Control Panel\Desktop' /v LogPixels /f >/dev/null 2>&1
ls -l "$ROOT/docs"
