#!/usr/bin/env bash
# Sets up the machine, then builds and runs every test of the four builds: native (linux), with
# sanitizers (asan), the fuzz targets of the core for a minute each (fuzz) and cross-built for
# Windows under Wine (windows). Exits non-zero on any failure.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/setup.sh

# Formatting first: a difference from .clang-format fails the run before anything is built.
echo "== format"
git ls-files -z '*.cpp' '*.h' | xargs -0 clang-format --dry-run -Werror

for preset in linux asan fuzz windows; do
  echo "== ${preset}"
  cmake --preset "$preset"
  cmake --build --preset "$preset"
  ctest --preset "$preset"
done

# The packages: halvrenn .deb and .tar.gz natively, the zip holding Halvrenn.exe.
for preset in linux windows; do
  (cd "build/${preset}" && cpack)
done
