#!/usr/bin/env bash
# The type 1 layout on two monitors: an X server (Xephyr, inside Xvfb) with two
# screens side by side, 1280x800 at (0, 0) and 1024x768 at (1280, 0), joined
# by Xinerama; the stand-in IDE is maximized on each in turn and Corvalin.exe
# switches it in and out (the end-to-end test Layouts.OnEachMonitor). Fails
# unless both monitors get the same layout.
# Run after scripts/setup.sh.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
prefix=$root/build/wineprefix-monitors
export WINEPREFIX=$prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
pids=()
cleanup() {
  wineserver -k 2>/dev/null || true
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
}
trap cleanup EXIT

# Starts an X server and sets DISPLAY to it once it is ready (it writes its
# display number to a pipe then).
start_server() {
  local fifo number
  fifo=$(mktemp -u) && mkfifo "$fifo"
  "$@" -displayfd 3 3>"$fifo" >/dev/null 2>&1 &
  pids+=($!)
  read -r -t 20 number <"$fifo" || { echo "X server did not start: $*" >&2; exit 1; }
  rm -f "$fifo"
  export DISPLAY=:$number
}

start_server Xvfb -screen 0 2400x900x24 -nolisten tcp
start_server Xephyr -screen 1280x800 -screen 1024x768 +xinerama -ac -nolisten tcp  # a window on the first
bash cmake/wine-prefix.sh "$prefix" monitors
# The test skips itself with fewer than two monitors: only a pass counts.
wine build/bin/end_to_end_tests.exe --gtest_filter=Layouts.OnEachMonitor | tr -d '\r' | tee build/two-monitors.log
grep -q '^\[  PASSED  \] 1 test' build/two-monitors.log && ! grep -q SKIPPED build/two-monitors.log
