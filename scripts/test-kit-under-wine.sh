#!/usr/bin/env bash
# Runs the Windows test kit's batch file (scripts/test-on-windows.cmd) under
# Wine's cmd, over the built test kit, in the test session that CTest's fixture
# uses (drives T: and U: where root may mount). Extra arguments go to each test
# program. Fails when any test fails. Run after a build.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
cmake --build --preset windows --target windows-test-kit >/dev/null
prefix=$root/build/wineprefix
log=$root/build/windows-test-kit.log
# The end-to-end tests under Wine read the relay trace of the tool's runs from
# this file: the test programs' Unix standard error, which Wine's cmd hands on.
trace=$root/build/windows-test-kit-relay.log
. cmake/wine-env.sh "$prefix"
bash cmake/wine-session.sh start "$prefix"
trap 'bash cmake/wine-session.sh stop "$prefix"' EXIT
start=$SECONDS
status=0
(cd build/windows-test-kit &&
  CORVALIN_RELAY_TRACE=$trace wine cmd /c test-on-windows.cmd "$@" 2>"$trace" </dev/null) |
  tr -d '\r' >"$log" || status=$?
if [ "$status" -ne 0 ]; then
  cat "$log"
  echo "Windows test kit under Wine: FAILED (exit code $status) after $((SECONDS - start)) s; output in $log"
  exit 1
fi
# The runners' summaries, without the lines of single tests.
grep -E '^(==== |\[==========\] [0-9]|\[  (PASSED|SKIPPED|FAILED) *\]|Windows test kit)' "$log" | grep -v ' ms)$'
echo "Windows test kit under Wine: passed in $((SECONDS - start)) s"
