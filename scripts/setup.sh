#!/usr/bin/env bash
# Installs what the build and the tests need (Debian 12, as root), then
# configures and builds everything: Corvalin.exe, the tests, the stand-in IDE,
# the benchmarks and the Wine prefix the tests run in, and the validator of
# the CI workflows. In a git checkout it also installs the commit-msg hook.
set -euo pipefail
cd "$(dirname "$0")/.."
packages=(cmake ninja-build googletest clang clang-tidy libclang-rt-14-dev
          g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64 mingw-w64-x86-64-dev
          wine wine64 libfaketime xvfb xauth xserver-xephyr imagemagick python3)
missing=()
# Also gcovr, for the coverage report, and strip-nondeterminism, for the release archive's time stamps.
for p in "${packages[@]}" gcovr strip-nondeterminism; do dpkg -s "$p" >/dev/null 2>&1 || missing+=("$p"); done
# Node and npm for the workflow validator; any install of them will do.
command -v npm >/dev/null 2>&1 || missing+=(nodejs npm)
if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  apt-get update -qq
  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi
# The validator of the CI workflows, pinned; it works offline.
validator=build/tools/node_modules/.bin/action-validator
if [ ! -x "$validator" ]; then
  echo "Installing the workflow validator into build/tools"
  npm install --prefix build/tools --save-exact --no-audit --no-fund --loglevel=error \
    @action-validator/cli@0.6.0 @action-validator/core@0.6.0 >/dev/null
fi
# The hook that keeps commit subjects to 72 characters, into the hooks folder of
# this checkout (all worktrees of a clone share it); none outside a checkout.
if [ "$(git rev-parse --show-toplevel 2>/dev/null)" = "$(pwd -P)" ]; then
  install -D -m 755 scripts/commit-msg "$(git rev-parse --git-path hooks)/commit-msg"
fi
cmake --preset windows >/dev/null
cmake --build --preset windows
