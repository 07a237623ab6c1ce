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
cmake -E tar tf build/windows/Halvrenn-*-win64.zip | grep -qx LICENSE.txt ||
  { echo "the zip holds no LICENSE.txt" >&2; exit 1; }

# The .deb as a distribution judges it: any lintian error or warning fails the run.
echo "== lintian"
deb=$(echo build/linux/halvrenn_*_amd64.deb)
lintian --fail-on error,warning "$deb"

# Installed as a user installs it, with its dependencies: its manual pages are found by man and
# its completion by bash-completion from /usr. Removed again afterwards.
echo "== installed .deb"
as_root() {
  if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi
}
as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -q "./$deb" >/dev/null
installed_checks=0
bash tests/app/manual_pages_test.sh /usr && bash tests/app/cli/completion_test.sh /usr ||
  installed_checks=$?
as_root env DEBIAN_FRONTEND=noninteractive apt-get purge -y -q halvrenn >/dev/null
exit "$installed_checks"
