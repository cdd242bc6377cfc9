#!/usr/bin/env bash
# Prints how long one owner lookup takes with 0, 1,000 and 5,000 extra file handles held by
# a second process. A benchmark, not a test: it passes or fails nothing.
set -euo pipefail
source "$(dirname "$0")/lib.sh"

install_missing_packages
build_arch x86_64
can_run_32bit && build_arch i686
trap stop_wine EXIT
start_wine
for arch in x86_64 i686; do
    [ "$arch" = i686 ] && ! can_run_32bit && continue
    echo "FindHandleOwner, $arch under Wine:"
    "$ROOT/scripts/wine-exec" "$arch" "$BUILD/$arch/bin/LockBench.exe"
done
