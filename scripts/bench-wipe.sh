#!/usr/bin/env bash
# Free-space wipe throughput, compared in the same run with dd writing the same amount once
# (bs=1M, one flush at the end) through the same file system. The wipe runs on an NTFS image
# on the build disk (512 MiB unless given in MiB as the first argument), mounted with ntfs-3g
# and mapped to a Wine drive letter: the build disk itself is never filled. Needs root and
# FUSE. A benchmark, not a test.
set -euo pipefail
source "$(dirname "$0")/lib.sh"

size_mib=${1:-512}
install_missing_packages
build_arch x86_64

work="$BUILD/bench-wipe"
image=$work/ntfs.img
mnt=$work/mnt
link=""
cleanup() {
    mountpoint -q "$mnt" && { fusermount -u "$mnt" 2>/dev/null || fusermount -u -z "$mnt"; }
    [ -n "$link" ] && rm -f "$link"
    rm -rf "$work"
    stop_wine
}
trap cleanup EXIT
rm -rf "$work"
mkdir -p "$mnt"
truncate -s "${size_mib}M" "$image"
mkntfs -F -q -f "$image" >/dev/null 2>&1
ntfs-3g "$image" "$mnt"
touch "$mnt/morvane-wipe-test-image"
start_wine
map_free_drive_letter "$mnt"
link=$DRIVE_LINK

free_bytes=$(df -B1 --output=avail "$mnt" | tail -1 | tr -d ' ')
blocks=$((free_bytes / 1048576))
dd_s=$(seconds_of dd if=/dev/zero of="$mnt/dd.bin" bs=1M count="$blocks" conv=fsync status=none)
dd_bytes=$((blocks * 1048576))
rm -f "$mnt/dd.bin"

result=$("$WINE64" "$BUILD/x86_64/bin/WipeBench.exe" "$DRIVE_LETTER" | tr -d '\r' | grep '^RESULT')
read -r _ _ wipe_s wipe_bytes <<<"$result"

dd_mbs=$(calc "$dd_bytes / 1000000 / $dd_s")
wipe_mbs=$(calc "$wipe_bytes / 1000000 / $wipe_s")
printf '%-36s %10s %12s %12s %16s\n' "run ($size_mib MiB NTFS image)" "seconds" "MB written" "MB/s" "time vs dd"
printf '%-36s %10.2f %12.1f %12.1f %16s\n' "dd bs=1M conv=fsync, free space" "$dd_s" "$(calc "$dd_bytes / 1000000")" "$dd_mbs" "1.00"
printf '%-36s %10.2f %12.1f %12.1f %16.2f\n' "wipe, Pseudorandom Data (1 pass)" "$wipe_s" "$(calc "$wipe_bytes / 1000000")" "$wipe_mbs" \
    "$(calc "($wipe_s / $wipe_bytes) / ($dd_s / $dd_bytes)")"
