#!/usr/bin/env bash
# Starts or ends the one wineserver a test run shares. Starting also brings up
# Wine's background services here, with their output going nowhere: started by a
# test instead, they would inherit its output pipe and hold the test open.
# Usage: wine-session.sh start|stop PREFIX
set -u
export WINEPREFIX=$2 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
case $1 in
  start)
    wineserver -p >/dev/null 2>&1 </dev/null
    wine cmd.exe /c exit >/dev/null 2>&1 </dev/null
    exit 0 ;;
  stop)
    wineserver -k >/dev/null 2>&1
    exit 0 ;;
esac
