#!/usr/bin/env bash
# Installs what is missing, builds both architectures and runs every test under Wine.
set -euo pipefail
source "$(dirname "$0")/lib.sh"

install_missing_packages
build_arch i686
build_arch x86_64
build_setup

# One CTest run over both build trees, so that one summary ends the output.
cat >"$BUILD/CTestTestfile.cmake" <<CTEST
subdirs("i686")
subdirs("x86_64")
CTEST

cleanup() {
    stop_wine
    stop_display
}
trap cleanup EXIT
ensure_display
start_wine
can_run_32bit || log "this machine cannot run 32-bit programs: the i686 tests will be reported as skipped"
ctest --test-dir "$BUILD" --output-on-failure --timeout 900
