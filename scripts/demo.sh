#!/usr/bin/env bash
# Builds the optimised preset and runs the three tools on generated samples:
# Tolvane over successive versions of a file, then sha and Nimbrel; then the
# study kit dedupmeasure, installed beside them, sweeps Tolvane's and sha's
# parameters over the samples, draws the plots and merges two traces.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/require-packages.sh demo

cmake --preset release >/dev/null
cmake --build --preset release --target Tolvane sha Nimbrel
sample=build/sample
python3 scripts/make_sample.py "$sample"
bin=build/release/programs

echo
echo "=== Tolvane $sample/versions.list (four versions of a 4 MiB file, edited in small places) ==="
"$bin/Tolvane/Tolvane" "$sample/versions.list" 2>/dev/null

echo
echo "=== sha $sample/disk.img 4096 64 0 0 (near-empty and busy 4 KiB chunks) ==="
echo "(chunk size, window size, chunks, unique near-empty fingerprints, bytes, padding, window lists, windows, ms)"
"$bin/sha/sha" "$sample/disk.img" 4096 64 0 0

echo
echo "=== Nimbrel $sample/notes.bin (runs of non-zero bytes with their offsets) ==="
"$bin/Nimbrel/Nimbrel" "$sample/notes.bin"
echo

echo
echo "=== dedupmeasure: sweeps of Tolvane and sha drawn as plots, and two traces merged ==="
cmake --install build/release --prefix build/demo-install >/dev/null
dedupmeasure=build/demo-install/bin/dedupmeasure
"$dedupmeasure" sweep-tolvane "$sample/versions.list" -o "$sample/sweep" --bits 10-14
"$dedupmeasure" sweep-sha "$sample/disk.img" -o "$sample/sweep"
printf '%s\n' "$sample"/versions/v1 "$sample"/versions/v2 |
  "$bin/Tolvane/Tolvane" --no-progress --trace "$sample/sweep/early.csv" - >/dev/null 2>&1
printf '%s\n' "$sample"/versions/v3 "$sample"/versions/v4 |
  "$bin/Tolvane/Tolvane" --no-progress --trace "$sample/sweep/late.csv" - >/dev/null 2>&1
"$dedupmeasure" merge "$sample/sweep/early.csv" "$sample/sweep/late.csv"
echo
echo "plots: $sample/sweep/tolvane.png and $sample/sweep/sha.png"
