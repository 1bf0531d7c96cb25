#!/usr/bin/env bash
# clang-tidy over src/ with the committed .clang-tidy, for the Windows target
# (mingw-w64's headers and C++ library), and includes that only point down:
# nothing outside src/driver/ includes driver/, and the leaves (handle.h,
# utf8.h, the message box) include nothing of src/ but their own header.
# Fails on any finding.
set -euo pipefail
cd "$(dirname "$0")/.."
cxx=/usr/lib/gcc/x86_64-w64-mingw32/12-posix/include/c++
flags=(--target=x86_64-w64-mingw32 -std=c++20 -nostdinc++ -isystem "$cxx" -isystem "$cxx/x86_64-w64-mingw32"
       -isystem "$cxx/backward" -Isrc -Ibuild/generated -DUNICODE -D_UNICODE -DWIN32_LEAN_AND_MEAN -DNOMINMAX -D_WIN32_WINNT=0x0601)
mapfile -t sources < <(find src -name '*.cpp' | sort)
clang-tidy --quiet "${sources[@]}" -- "${flags[@]}"
echo "clang-tidy: ${#sources[@]} files of src/ clean"
upward=$( (grep -rn '^#include "driver/' src --include='*.h' --include='*.cpp' | grep -v '^src/driver/'
           grep -Hn '^#include "' src/handle.h src/utf8.h src/message.h src/message.cpp |
             grep -v '^src/message.cpp:[0-9]*:#include "message.h"$') || true)
if [ -n "$upward" ]; then
  printf 'include against the layering:\n%s\n' "$upward"
  exit 1
fi
echo "includes of src/ point down"
