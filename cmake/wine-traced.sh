#!/usr/bin/env bash
# Runs a test program under Wine with its Unix standard error going to a file
# of its own. The programs it starts inherit that standard error, so their
# relay trace (which handle Corvalin handed to SetMenu) lands there too; the
# test finds the file through CORVALIN_RELAY_TRACE. Wine's other messages are
# passed on to standard error afterwards. A program that Wine fails to start
# at all ("wine: failed to map the shared user data", seen once) is started
# once more, and the retry is logged; nothing else is retried.
# Usage: wine-traced.sh PREFIX PROGRAM [ARGUMENTS...]
. "$(dirname "$0")/wine-env.sh" "$1"
shift
trace=$(mktemp --tmpdir corvalin-trace.XXXXXX)
run() {
  CORVALIN_RELAY_TRACE=$trace wine "$@" 2>"$trace"
}
run "$@"
status=$?
failed_start=$(grep -m1 -e '^wine: failed to' -e '^wine: could not' "$trace")
if [ $status -ne 0 ] && [ -n "$failed_start" ]; then
  echo "wine-traced.sh: Wine did not start $1 ($failed_start); starting it once more" >&2
  run "$@"
  status=$?
fi
grep -v -e ':Call ' -e ':Ret ' -e 'relay:load_list' -e 'wine32' -e 'multiarch' -e 'dpkg --add' -e 'apt-get install' \
  -e 'Starting thread proc' "$trace" >&2
rm -f "$trace"
exit $status
