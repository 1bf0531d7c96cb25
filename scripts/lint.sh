#!/usr/bin/env bash
# clang-tidy over src/ with the committed .clang-tidy, for the Windows target
# (mingw-w64's headers and C++ library), and the includes the build cannot
# hold to the layers (docs/developing.md): none climbs with ".." or names an
# absolute path, and the files at the top of src/, whose quoted includes are
# looked up in src/ itself first, include nothing of src/ but their own header.
# Fails on any finding.
set -euo pipefail
cd "$(dirname "$0")/.."
cxx=/usr/lib/gcc/x86_64-w64-mingw32/12-posix/include/c++
flags=(--target=x86_64-w64-mingw32 -std=c++20 -nostdinc++ -isystem "$cxx" -isystem "$cxx/x86_64-w64-mingw32"
       -isystem "$cxx/backward" -Isrc -Ibuild/generated
       -DUNICODE -D_UNICODE -DWIN32_LEAN_AND_MEAN -DNOMINMAX -D_WIN32_WINNT=0x0601)
mapfile -t sources < <(find src -name '*.cpp' | sort)
clang-tidy --quiet "${sources[@]}" -- "${flags[@]}"
echo "clang-tidy: ${#sources[@]} files of src/ clean"
include='^[[:space:]]*#[[:space:]]*include[[:space:]]*'
outside=$( (grep -rnE "$include[<\"]([^>\"]*\.\.|/)" src
            grep -HnE "$include\"" src/*.h src/*.cpp | grep -vE '^src/([a-z0-9_]+)\.cpp:[0-9]+:#include "\1\.h"$') || true)
if [ -n "$outside" ]; then
  printf 'include against the layers:\n%s\n' "$outside"
  exit 1
fi
echo "includes of src/ keep to the layers"
