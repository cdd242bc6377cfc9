#!/usr/bin/env bash
# The start of a large erase job, through the engine's job: for 20,000 and 200,000 empty files
# in folders of 1,000, the time until the first file is gone, the process's peak resident memory
# (Linux's VmHWM of the Wine process), and the walk's cost per file beside a bare listing of the
# same tree in the same run (the anchor). Each run erases 200 files, then cancels. Medians of
# three runs unless a count is given. A benchmark, not a test.
set -euo pipefail
source "$(dirname "$0")/lib.sh"

runs=${1:-3}
install_missing_packages
build_arch x86_64
folder="$WINEPREFIX/drive_c/bench-job"
cleanup() {
    rm -rf "$folder"
    stop_wine
}
trap cleanup EXIT
start_wine

make_tree() { # number of files
    local d
    rm -rf "$folder"
    for ((d = 0; d < $1 / 1000; d++)); do
        mkdir -p "$folder/folder $d"
        (cd "$folder/folder $d" && seq -f 'file %04g.txt' 1 1000 | xargs -d '\n' touch)
    done
}

median() { tr ' ' '\n' | sort -g | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }

printf '%8s %12s %12s %14s %14s %10s %10s\n' files "listing ms" "first gone s" "walk us/file" "listing us/file" "walk/list" "peak MiB"
for files in 20000 200000; do
    listing="" gone="" walk="" peak=""
    for ((run = 0; run < runs; run++)); do
        make_tree "$files"
        results=$("$ROOT/scripts/wine-exec" x86_64 "$BUILD/x86_64/bin/JobBench.exe" 'C:\bench-job' 200 | tr -d '\r')
        value() { echo "$results" | awk -v name="$1" '$1 == "RESULT" && $2 == name { print $3 }'; }
        listing+=" $(value listing-seconds)"
        gone+=" $(value first-gone)"
        walk+=" $(value walk-seconds)"
        peak+=" $(value peak-kib)"
    done
    l=$(echo $listing | median) g=$(echo $gone | median) w=$(echo $walk | median) p=$(echo $peak | median)
    printf '%8d %12.1f %12.2f %14.1f %14.2f %10.1f %10.1f\n' "$files" "$(calc "$l * 1000")" "$g" \
        "$(calc "$w * 1000000 / $files")" "$(calc "$l * 1000000 / $files")" "$(calc "$w / $l")" "$(calc "$p / 1024")"
done
