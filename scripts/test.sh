#!/usr/bin/env bash
# Builds and runs the whole test suite in the optimised preset, the sanitizer
# preset, and the portable preset (the SHA-1 and rolling-fingerprint fast
# paths left out, so the end-to-end tests also prove the portable paths).
# Exits non-zero when anything fails to build or any test fails.
set -euo pipefail
cd "$(dirname "$0")/.."

for preset in release asan portable; do
  echo "=== preset: $preset ==="
  cmake --preset "$preset"
  cmake --build --preset "$preset"
  ctest --preset "$preset"
done
