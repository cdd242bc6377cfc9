#!/usr/bin/env bash
# Wipes the free space of a small real NTFS image under Wine, then searches the raw image for
# the files that had been deleted the ordinary way before: their content (grep) and their
# names (sleuthkit's fls); and wipes it from the program's command line. CTest runs it:
#   wipe-image.sh <wine-exec> <arch> <wipe_tests.exe> <program_tests.exe>
# Needs root and FUSE (ntfs-3g); exits 77 (skipped) only where FUSE cannot be used at all.
set -euo pipefail
source "$(dirname "$0")/../../scripts/lib.sh"
wine_exec=$1
arch=$2
tests=$3
program_tests=$4

if ! [ -c /dev/fuse ] || ! { exec 3<>/dev/fuse; } 2>/dev/null; then
    echo "SKIPPED: /dev/fuse cannot be opened here, so no NTFS image can be mounted with ntfs-3g" >&2
    exit 77
fi
exec 3>&-
for tool in mkntfs ntfs-3g fusermount fls; do
    command -v "$tool" >/dev/null || { echo "missing $tool: install the PACKAGES of scripts/lib.sh" >&2; exit 1; }
done

work=$(mktemp -d /tmp/morvane-wipe-image.XXXXXX)
image=$work/ntfs.img
mnt=$work/mnt
link=""
unmount() {
    if mountpoint -q "$mnt"; then
        fusermount -u "$mnt" 2>/dev/null || fusermount -u -z "$mnt"
    fi
}
cleanup() {
    unmount
    [ -n "$link" ] && rm -f "$link"
    rm -rf "$work"
}
trap cleanup EXIT

mkdir "$mnt"
truncate -s 32M "$image"
mkntfs -F -q -f "$image" >/dev/null 2>&1
mount_image() {
    ntfs-3g "$@" "$image" "$mnt"
}
mount_image
# The tests wipe nothing that lacks this sign.
touch "$mnt/morvane-wipe-test-image"

map_free_drive_letter "$mnt"
link=$DRIVE_LINK
drive=$DRIVE_LETTER

stage() { # filter [test executable]
    MORVANE_WIPE_DRIVE=$drive "$wine_exec" "$arch" "${2:-$tests}" --gtest_color=no --gtest_filter="$1"
}

# Distinct deleted files whose content, and deleted names, the raw image still holds.
search() {
    unmount
    content=$(grep -a -o -E 'ZQXJ-CONTENT-[0-9]+-' "$image" | sort -u | tr '\n' ' ' || true)
    names=$(fls -r -d -f ntfs "$image" | grep -o 'Tallowmere-ledger-[0-9]*' | sort -u | tr '\n' ' ' || true)
    printf '%-22s content found: [%s] names found: [%s]\n' "$1" "$content" "$names"
}

stage 'WipeImageRefusalTest.*'
search "before the wipe:"
deleted_files=8
[ "$(wc -w <<<"$content")" -eq "$deleted_files" ] && [ "$(wc -w <<<"$names")" -eq "$deleted_files" ] || {
    echo "FAILED: the image search does not find every deleted file before the wipe" >&2
    exit 1
}

mount_image
stage 'WipeImageTest.*'
search "after the wipe:"
[ -z "$content" ] && [ -z "$names" ] || { echo "FAILED: the wipe left deleted content or names" >&2; exit 1; }

mount_image
stage 'ProgramTest.WipeFreeSpaceFromTheCommandLine' "$program_tests"
unmount

# A file written long and cut short keeps its old text in the rest of its last cluster; a file
# in a compressed folder is rewritten by the file system wherever it likes. Once erased, neither
# leaves its text, unless the job said the compressed one may have.
mount_image -o compression
mkdir "$mnt/Packed"
python3 -c 'import os, sys; os.setxattr(sys.argv[1], "system.ntfs_attrib_be", (0x810).to_bytes(4, "big"))' "$mnt/Packed"
repeat() { # text bytes file [random bytes between the copies]
    python3 -c 'import os, sys
t, n, r = sys.argv[1].encode(), int(sys.argv[2]), int(sys.argv[3])
data = b"".join(t + os.urandom(r) for _ in range(n // (len(t) + r) + 1))
sys.stdout.buffer.write(data[:n])' "$1" "$2" "${4:-0}" >"$3"
}
# Random bytes between the copies: compression cannot hide the text. The other file compresses
# well, into fewer clusters than its size: a file the job must report.
repeat ZQXK-PACKED- 200000 "$mnt/Packed/packed.txt" 100
repeat ZQXK-OFFERED- 200000 "$mnt/Packed/offered.txt"
# Three clusters of 4 KiB, cut inside the last one.
repeat ZQXK-CUT-SHORT- 12288 "$mnt/cut short.txt"
truncate -s 9000 "$mnt/cut short.txt"
unmount
left() { { grep -a -o "$1" "$image" || true; } | wc -l; }
printf 'before the erase:      cut short %s, packed %s\n' "$(left ZQXK-CUT-SHORT-)" "$(left ZQXK-PACKED-)"
[ "$(left ZQXK-CUT-SHORT-)" -gt 1 ] && [ "$(left ZQXK-PACKED-)" -gt 0 ] ||
    { echo "FAILED: the image search does not find the files to erase" >&2; exit 1; }
mount_image -o compression
stage 'WipeImageEraseTest.*'
reported=$(cat "$mnt/reported left in free space.txt" 2>/dev/null || true)
unmount
printf 'after the erase:       cut short %s, packed %s, reported as possibly left: [%s]\n' \
    "$(left ZQXK-CUT-SHORT-)" "$(left ZQXK-PACKED-)" "$reported"
[ "$(left ZQXK-CUT-SHORT-)" -eq 0 ] || { echo "FAILED: the erased file's slack keeps its old text" >&2; exit 1; }
[ "$(left ZQXK-PACKED-)" -eq 0 ] || [ -n "$reported" ] ||
    { echo "FAILED: the compressed file left its text and the job called it erased" >&2; exit 1; }

# The program offers the wipe of the drive after the file it reports, and runs it.
mount_image -o compression
stage 'ProgramTest.ErasingACompressedFileOffersAWipeOfItsDrive' "$program_tests"
unmount

mount_image -o ro
stage 'WipeImageReadOnlyTest.*'
