#!/usr/bin/env bash
# Erase throughput on the build disk: every method on one large file (256 MiB unless given in
# MiB as the first argument), compared in the same run with GNU shred -n1 and dd with a sync
# per 64 KiB block on an equal file; and the time to erase a folder of 2,000 small files. Each
# run once without and once with the last pass read back past the cache, and what that costs.
# A benchmark, not a test.
set -euo pipefail
source "$(dirname "$0")/lib.sh"

size_mib=${1:-256}
install_missing_packages
build_arch x86_64
trap stop_wine EXIT
start_wine

work="$BUILD/bench"
rm -rf "$work"
mkdir -p "$work"
bytes=$((size_mib * 1024 * 1024))

head -c "$bytes" /dev/zero | tr '\0' 'z' >"$work/shred.bin"
shred_s=$(seconds_of shred -n1 "$work/shred.bin")
head -c "$bytes" /dev/zero | tr '\0' 'z' >"$work/dd.bin"
dd_s=$(seconds_of dd if=/dev/zero of="$work/dd.bin" bs=64K count=$((bytes / 65536)) oflag=dsync conv=notrunc status=none)
rm -f "$work/shred.bin" "$work/dd.bin"

results=$("$ROOT/scripts/wine-exec" x86_64 "$BUILD/x86_64/bin/EraseBench.exe" "Z:${work//\//\\}" "$size_mib" | tr -d '\r')
rm -rf "$work"

shred_mbs=$(calc "$bytes / 1000000 / $shred_s")
dd_mbs=$(calc "$bytes / 1000000 / $dd_s")
row='%-24s %10s %12s %14s %14s %12s %12s\n'
printf "$row" "run ($size_mib MiB file)" "seconds" "written MB/s" "vs shred -n1" "vs dd dsync" "verified s" "verify cost"
printf "$row" "shred -n1" "$(printf %.2f "$shred_s")" "$(printf %.1f "$shred_mbs")" "1.00" "-" "-" "-"
printf "$row" "dd bs=64K oflag=dsync" "$(printf %.2f "$dd_s")" "$(printf %.1f "$dd_mbs")" "-" "1.00" "-" "-"
echo "$results" | while read -r tag name secs written verified; do
    [ "$tag" = RESULT ] || { echo "$tag $name $secs $written $verified"; continue; }
    cost=$(calc "($verified - $secs) / $secs * 100")
    if [ "$name" = folder-of-2000-files ]; then
        printf "$row" "$name" "$secs" "-" "-" "-" "$verified" "$(printf '%+.0f%%' "$cost")"
        continue
    fi
    mbs=$(calc "$written / 1000000 / $secs")
    printf "$row" "$name" "$secs" "$(printf %.1f "$mbs")" "$(printf %.2f "$(calc "$mbs / $shred_mbs")")" \
        "$(printf %.2f "$(calc "$mbs / $dd_mbs")")" "$verified" "$(printf '%+.0f%%' "$cost")"
done
