#!/usr/bin/env bash
# Prints what one owner lookup costs with 0, 1,000, 5,000 and 20,000 extra file handles held
# by a second process, beside the floor of the system's own handle table at each size, the
# time of a whole unlock of one locked file, and the lookup's cost per extra handle beside one
# duplicate-and-close of such a handle in the same run. A benchmark, not a test: it passes or
# fails nothing.
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
