#!/usr/bin/env bash
# Time the program's tree is busy expanding a folder of 100,000 files (unless given as the first
# argument) right below drive C:, the first time and again after a collapse, next to a bare
# enumeration of the same folder as the same-run anchor. A benchmark, not a test.
set -euo pipefail
source "$(dirname "$0")/lib.sh"

count=${1:-100000}
install_missing_packages
build_arch x86_64
name=morvane-bench-tree
start_bench_folder "$name"
(cd "$BENCH_FOLDER" && seq -f 'entry %06g.txt' 1 "$count" | xargs -d '\n' touch)

results=$("$ROOT/scripts/wine-exec" x86_64 "$BUILD/x86_64/bin/TreeBench.exe" "$name" | tr -d '\r')
anchor=$(echo "$results" | awk '$1 == "RESULT" && $2 == "bare-scan" { print $3 }')
printf '%-24s %10s %10s %14s\n' "run ($count files)" "median ms" "entries" "vs bare scan"
echo "$results" | while read -r tag run ms entries; do
    [ "$tag" = RESULT ] || { echo "$tag $run $ms $entries"; continue; }
    printf '%-24s %10.1f %10s %14.1f\n' "$run" "$ms" "$entries" "$(awk "BEGIN { print $ms / $anchor }")"
done
