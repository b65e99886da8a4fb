#!/usr/bin/env bash
# Builds and runs the whole test suite in the optimised preset, the sanitizer
# preset, and the portable preset (the SHA-1 and rolling-fingerprint fast
# paths left out, so the end-to-end tests also prove the portable paths), and
# the tests labelled threads in the ThreadSanitizer preset.
# Exits non-zero when anything fails to build or any test fails.
#
#   scripts/test.sh           everything (what CI runs)
#   scripts/test.sh --quick   the optimised preset without the tests labelled
#                             slow: the everyday lane, a minute or so
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/require-packages.sh test

presets=(release asan portable tsan)
ctest_options=()
if [ "${1:-}" = "--quick" ]; then
  presets=(release)
  ctest_options=(-LE slow)
fi

for preset in "${presets[@]}"; do
  echo "=== preset: $preset ==="
  cmake --preset "$preset"
  cmake --build --preset "$preset"
  ctest --preset "$preset" "${ctest_options[@]}"
done
