#!/usr/bin/env bash
# Starts or ends the one wineserver a test run shares. Starting also brings up
# Wine's background services here, with their output going nowhere: started by a
# test instead, they would inherit its output pipe and hold the test open.
# Where root may mount, a 64 KiB tmpfs becomes drive T: for the full-disk test.
# Usage: wine-session.sh start|stop PREFIX
set -u
export WINEPREFIX=$2 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
small_disk=$WINEPREFIX/../small-disk
case $1 in
  start)
    mkdir -p "$small_disk"
    mountpoint -q "$small_disk" || mount -t tmpfs -o size=64k tmpfs "$small_disk" 2>/dev/null
    if mountpoint -q "$small_disk"; then ln -sfn "$small_disk" "$WINEPREFIX/dosdevices/t:"; fi
    wineserver -p >/dev/null 2>&1 </dev/null
    wine cmd.exe /c exit >/dev/null 2>&1 </dev/null
    exit 0 ;;
  stop)
    wineserver -k >/dev/null 2>&1
    rm -f "$WINEPREFIX/dosdevices/t:"
    mountpoint -q "$small_disk" && umount "$small_disk"
    exit 0 ;;
esac
