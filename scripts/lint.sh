#!/usr/bin/env bash
# clang-tidy over src/ with the committed .clang-tidy, for the Windows target
# (mingw-w64's headers and C++ library), and no include circle among the
# modules of src/. Fails on any finding.
set -euo pipefail
cd "$(dirname "$0")/.."
cxx=/usr/lib/gcc/x86_64-w64-mingw32/12-posix/include/c++
flags=(--target=x86_64-w64-mingw32 -std=c++20 -nostdinc++ -isystem "$cxx" -isystem "$cxx/x86_64-w64-mingw32"
       -isystem "$cxx/backward" -Isrc -DUNICODE -D_UNICODE -DWIN32_LEAN_AND_MEAN -DNOMINMAX -D_WIN32_WINNT=0x0601)
mapfile -t sources < <(find src -name '*.cpp' | sort)
clang-tidy --quiet "${sources[@]}" -- "${flags[@]}"
echo "clang-tidy: ${#sources[@]} files of src/ clean"
python3 scripts/include_cycles.py src
