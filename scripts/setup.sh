#!/usr/bin/env bash
# Installs what the build and the tests need (Debian 12, as root), then
# configures and builds everything: Corvalin.exe, the tests, the stand-in IDE,
# the benchmarks and the Wine prefix the tests run in.
set -euo pipefail
cd "$(dirname "$0")/.."
packages=(cmake ninja-build googletest clang clang-tidy libclang-rt-14-dev
          g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64 mingw-w64-x86-64-dev
          wine wine64 xvfb xauth xserver-xephyr imagemagick python3)
missing=()
for p in "${packages[@]}"; do dpkg -s "$p" >/dev/null 2>&1 || missing+=("$p"); done
if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  apt-get update -qq
  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi
cmake --preset windows >/dev/null
cmake --build --preset windows
