#!/usr/bin/env bash
# Builds the optimised preset and runs the three tools on generated samples:
# Tolvane over successive versions of a file, then sha and Nimbrel.
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
