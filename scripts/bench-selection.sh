#!/usr/bin/env bash
# Time from the program's start with a handed-over list of 2,000, 20,000 and 50,000 files (or the
# counts given as arguments) until its confirmation appears, beside reading the same list and
# asking for each file's attributes in one process as the same-run anchor. The confirmation is
# answered No. A benchmark, not a test.
set -euo pipefail
source "$(dirname "$0")/lib.sh"

counts=("$@")
[ ${#counts[@]} -gt 0 ] || counts=(2000 20000 50000)
install_missing_packages
build_arch x86_64
name=morvane-bench-selection
start_bench_folder "$name"
folder=$BENCH_FOLDER

printf '%8s %12s %18s %10s\n' items "anchor ms" "to confirmation ms" "vs anchor"
for count in "${counts[@]}"; do
    rm -rf "$folder"
    mkdir -p "$folder/items"
    (cd "$folder/items" && seq -f 'item %06g.txt' 1 "$count" | xargs -d '\n' touch)
    # The list as the extension writes it: UTF-16 with a byte-order mark, one path per line.
    seq -f "C:\\$name\\items\\item %06g.txt" 1 "$count" | sed 's/$/\r/' \
        | { printf '\xff\xfe'; iconv -f UTF-8 -t UTF-16LE; } >"$folder/list.txt"
    result=$("$ROOT/scripts/wine-exec" x86_64 "$BUILD/x86_64/bin/SelectionBench.exe" "C:\\$name\\list.txt" | tr -d '\r')
    echo "$result" | while read -r tag items anchor ms; do
        [ "$tag" = RESULT ] || { echo "$tag $items $anchor $ms"; continue; }
        printf '%8s %12s %18s %10.1f\n' "$items" "$anchor" "$ms" "$(calc "$ms / $anchor")"
    done
done
