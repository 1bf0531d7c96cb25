#!/usr/bin/env bash
# Line coverage of src/ by the whole test suite: builds with gcov counters,
# runs every test under Wine (the counters are written there through drive Z:),
# then reads them with gcovr and the cross toolchain's gcov. Prints a line per
# file with the lines never run, and the total; fails below 97 %. Run after
# scripts/setup.sh.
set -euo pipefail
cd "$(dirname "$0")/.."
cmake --preset coverage >/dev/null
cmake --build --preset coverage >/dev/null
find build-coverage -name '*.gcda' -delete
ctest --preset coverage >build-coverage/ctest.log 2>&1 || { tail -30 build-coverage/ctest.log; exit 1; }
gcovr --root . --filter src/ --gcov-executable x86_64-w64-mingw32-gcov --fail-under-line 97 build-coverage
