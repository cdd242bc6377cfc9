#!/usr/bin/env bash
# Takes the pictures of the program's windows shown in the README (docs/*.png), under Wine on
# a virtual display of its own, so that no other window shows in them.
set -euo pipefail
source "$(dirname "$0")/lib.sh"

PACKAGES+=(imagemagick)
install_missing_packages
build_arch x86_64
unset DISPLAY
trap 'stop_wine; stop_display' EXIT
ensure_display
start_wine
shots="$BUILD/screenshots"
rm -rf "$shots"
mkdir -p "$shots"
"$ROOT/scripts/wine-exec" x86_64 "$BUILD/x86_64/bin/Screenshots.exe" "Z:${shots//\//\\}"
mkdir -p "$ROOT/docs"
for picture in "$shots"/*.bmp; do
    convert "$picture" "$ROOT/docs/$(basename "${picture%.bmp}").png"
done
ls -l "$ROOT/docs"
