#!/usr/bin/env bash
# Runs the tests named ClockSteppedBack.* of a test program against a wineserver
# of their own whose wall clock libfaketime sets: the offset is read again from
# a file at every clock reading, and the tests step the clock back by writing it
# (C:\clock-offset, named to them in CORVALIN_CLOCK_OFFSET_FILE). Process
# creation times come from the wineserver's clock. It works on a copy of the
# test prefix (a whole copy: Wine writes its registry files in place), so the
# shared session's server and prefix go on untouched.
# Usage: wine-clock-step.sh PREFIX TEST_PROGRAM
set -u
library=$(ls /usr/lib/*/faketime/libfaketime.so.1 2>/dev/null | head -n 1)
[ -n "$library" ] || { echo "libfaketime is missing (scripts/setup.sh installs it)"; exit 1; }
copy=$1-clock
rm -rf "$copy" && cp -a "$1" "$copy"
source "$(dirname "$0")/wine-env.sh" "$copy"
echo "+0" >"$copy/drive_c/clock-offset"
LD_PRELOAD=$library FAKETIME_TIMESTAMP_FILE=$copy/drive_c/clock-offset FAKETIME_NO_CACHE=1 \
  FAKETIME_DONT_FAKE_MONOTONIC=1 wineserver -p >/dev/null 2>&1 </dev/null
wine cmd.exe /c exit >/dev/null 2>&1 </dev/null  # Wine's services, started apart from the test's output
CORVALIN_CLOCK_OFFSET_FILE='C:\clock-offset' wine "$2" --gtest_filter='ClockSteppedBack.*'
status=$?
wineserver -k
rm -rf "$copy"
exit $status
