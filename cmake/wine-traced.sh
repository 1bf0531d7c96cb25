#!/usr/bin/env bash
# Runs a test program under Wine with its Unix standard error going to a file
# of its own. The programs it starts inherit that standard error, so their
# relay trace (which handle Corvalin handed to SetMenu) lands there too; the
# test finds the file through CORVALIN_RELAY_TRACE. Wine's other messages are
# passed on to standard error afterwards.
# Usage: wine-traced.sh PREFIX PROGRAM [ARGUMENTS...]
. "$(dirname "$0")/wine-env.sh" "$1"
shift
trace=$(mktemp --tmpdir corvalin-trace.XXXXXX)
CORVALIN_RELAY_TRACE=$trace wine "$@" 2>"$trace"
status=$?
grep -v -e ':Call ' -e ':Ret ' -e 'relay:load_list' -e 'wine32' -e 'multiarch' -e 'dpkg --add' -e 'apt-get install' \
  "$trace" >&2
rm -f "$trace"
exit $status
