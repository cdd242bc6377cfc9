#!/usr/bin/env bash
# Installs what is missing, builds the program and starts it under Wine on this display, in the
# demo's prefix (scripts/lib.sh): no drive reaches this machine's files, and drive D: holds
# sample files and folders to erase, made anew on every run. Arguments are passed on to the
# program.
set -euo pipefail
source "$(dirname "$0")/lib.sh"

install_missing_packages
build_arch x86_64
trap 'unmount_demo_drive; stop_display' EXIT
ensure_display
mount_demo_drive
use_demo_prefix
log "drive D: holds the demo's files: $DEMO/files"
(cd "$DEMO/files" && "$WINE64" "$WINEPREFIX/drive_c/Program Files/Tarnwick/Morvane.exe" "$@")
