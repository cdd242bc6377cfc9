#!/usr/bin/env bash
# Installs what is missing, builds the program and starts it under Wine on this display.
# Arguments are passed on to the program.
set -euo pipefail
source "$(dirname "$0")/lib.sh"

install_missing_packages
build_arch x86_64
trap stop_display EXIT
ensure_display
ensure_wine_prefix
"$WINE64" "$BUILD/x86_64/bin/Morvane.exe" "$@"
