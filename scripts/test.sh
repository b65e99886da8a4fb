#!/usr/bin/env bash
# Builds and runs the whole test suite in the optimised and the sanitizer
# presets. Exits non-zero when anything fails to build or any test fails.
set -euo pipefail
cd "$(dirname "$0")/.."

for preset in release asan; do
  echo "=== preset: $preset ==="
  cmake --preset "$preset"
  cmake --build --preset "$preset"
  ctest --preset "$preset"
done
