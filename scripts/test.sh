#!/usr/bin/env bash
# Sets up the machine, then builds and runs every test of the five builds: native (linux), with
# sanitizers (asan), the fuzz targets of the core for a minute each (fuzz) and cross-built for
# Windows under Wine with GCC (windows) and with Clang (windows-clang). Exits non-zero on any
# failure.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/setup.sh

# Formatting first: a difference from .clang-format fails the run before anything is built.
echo "== format"
git ls-files -z '*.cpp' '*.h' | xargs -0 clang-format --dry-run -Werror

for preset in linux asan fuzz windows windows-clang; do
  echo "== ${preset}"
  cmake --preset "$preset"
  cmake --build --preset "$preset"
  ctest --preset "$preset"
done

# A packager's plain configure, in a scratch folder: it builds and installs the programs, and
# looks for none of the test and benchmark dependencies.
echo "== plain configure"
plain=$(mktemp -d)
trap 'rm -rf "$plain"' EXIT
cmake -S . -B "$plain/build" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
if grep -E '^(GTest|benchmark|Qt6Test)_DIR:' "$plain/build/CMakeCache.txt"; then
  echo "a plain configure looked for a test or benchmark dependency" >&2
  exit 1
fi
cmake --build "$plain/build"
DESTDIR="$plain/root" cmake --install "$plain/build" >/dev/null

# The packages: halvrenn .deb and .tar.gz natively, the zip holding Halvrenn.exe, and the MSI
# that the windows build made.
for preset in linux windows; do
  (cd "build/${preset}" && cpack)
done
ls -l build/windows/Halvrenn-*-x64.msi
