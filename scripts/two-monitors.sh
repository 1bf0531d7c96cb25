#!/usr/bin/env bash
# The type 1 layout on two monitors, in two arrangements: side by side
# (1280x800 at (0, 0), 1024x768 at (1280, 0)) and one above the other
# (1024x768 at (0, 0), 1280x800 below it at (0, 768)). Each is an X server
# (Xephyr, inside Xvfb) with two screens joined by Xinerama; the stand-in IDE
# is maximized on each monitor in turn and Corvalin.exe switches it in and out
# (the end-to-end test Layouts.OnEachMonitor): the same layout on each, and
# nothing of the window on the other monitor. Fails unless both pass.
# Run after scripts/setup.sh.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
prefix=$root/build/wineprefix-monitors
. cmake/wine-env.sh "$prefix"
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

# The test under Wine on two monitors arranged by the Xephyr arguments given.
# The test skips itself with fewer than two monitors: only a pass counts.
on_two_monitors() {
  local name=$1 log=$root/build/two-monitors-$1.log
  shift
  start_server Xvfb -screen 0 2400x1700x24 -nolisten tcp
  start_server Xephyr "$@" +xinerama -ac -nolisten tcp  # windows on the Xvfb screen
  bash cmake/wine-prefix.sh "$prefix" monitors
  wine build/bin/end_to_end_tests.exe --gtest_filter=Layouts.OnEachMonitor | tr -d '\r' | tee "$log"
  wineserver -k 2>/dev/null || true
  if ! grep -q '^\[  PASSED  \] 1 test' "$log" || grep -q SKIPPED "$log"; then
    echo "two monitors, $name: failed" >&2
    exit 1
  fi
}

on_two_monitors side-by-side -screen 1280x800 -screen 1024x768
on_two_monitors one-above -screen 1024x768 -origin 0,768 -screen 1280x800
