#!/usr/bin/env bash
# Installs what building and testing Halvrenn needs on Debian 12 and generates the locales the
# tests run under. Safe to run again: it installs only what is missing.
set -euo pipefail

packages=(
  cmake ninja-build g++ pkg-config
  qt6-base-dev libx11-dev
  libgtest-dev googletest libbenchmark-dev
  clang clang-tidy clang-format libclang-rt-14-dev
  g++-mingw-w64-x86-64 binutils-mingw-w64-x86-64 wine64 lld llvm
  wixl msitools osslsigncode openssl
  locales locales-all tzdata libabsl-dev unicode-cldr-core
  mawk gawk python3 time procps util-linux gzip
  xvfb xauth xdotool xclip imagemagick fonts-wine
  desktop-file-utils appstream dpkg-dev file lintian man-db bash-completion
  systemd
)

missing=()
for package in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed' ||
    missing+=("$package")
done

as_root() {
  if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi
}

if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  as_root apt-get update -q
  as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -q \
    "${missing[@]}"
fi

# A locale that is not generated silently falls back to C, so generate every one the tests use.
# The list is read once: grep -q ending a pipe early would fail it under pipefail.
available_locales=$(locale -a 2>/dev/null)
for locale in en_US de_DE el_GR ko_KR en_GB; do
  if ! grep -qx "${locale}.utf8" <<<"$available_locales"; then
    echo "Generating the locale ${locale}.UTF-8"
    as_root localedef -i "$locale" -f UTF-8 "${locale}.UTF-8"
  fi
done
