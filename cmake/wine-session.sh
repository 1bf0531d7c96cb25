#!/usr/bin/env bash
# Starts or ends the one wineserver a test run shares. Starting also brings up
# Wine's background services here, with their output going nowhere: started by a
# test instead, they would inherit its output pipe and hold the test open.
# Where root may mount, a 64 KiB tmpfs becomes drive T: for the full-disk test,
# a 64 KiB tmpfs of eight inodes drive V: (a disk where no new file can be made),
# and a read-only one becomes drive U:, holding a copy of Corvalin.exe, an empty
# folder "start" and "inplace\Handles.ini", a file that can be written in a
# folder that cannot (a bind mount). As root Wine ignores the read-only
# attribute; a read-only mount it cannot ignore. Drive L: is a plain folder with
# symbolic links made here, as Wine makes none: "Handles.ini" naming
# "real\Handles.ini", and "Dangling.ini" naming a file that is not there, with
# a marker file "corvalin-test-links". The tests tell these drives from a
# machine's own by their size (1 MiB at most) or the marker.
# Usage: wine-session.sh start|stop PREFIX
set -u
. "$(dirname "$0")/wine-env.sh" "$2"
small_disk=$WINEPREFIX/../small-disk
inode_disk=$WINEPREFIX/../inode-disk
links=$WINEPREFIX/../links
read_only_disk=$WINEPREFIX/../read-only-disk
writable_file=$WINEPREFIX/../writable-Handles.ini
tool=$WINEPREFIX/../bin/Corvalin.exe
unmount_read_only_disk() {
  mountpoint -q "$read_only_disk/inplace/Handles.ini" 2>/dev/null && umount "$read_only_disk/inplace/Handles.ini"
  mountpoint -q "$read_only_disk" && umount "$read_only_disk"
}
case $1 in
  start)
    mkdir -p "$small_disk"
    mountpoint -q "$small_disk" || mount -t tmpfs -o size=64k tmpfs "$small_disk" 2>/dev/null
    if mountpoint -q "$small_disk"; then ln -sfn "$small_disk" "$WINEPREFIX/dosdevices/t:"; fi
    mkdir -p "$inode_disk"
    mountpoint -q "$inode_disk" || mount -t tmpfs -o size=64k,nr_inodes=8 tmpfs "$inode_disk" 2>/dev/null
    if mountpoint -q "$inode_disk"; then ln -sfn "$inode_disk" "$WINEPREFIX/dosdevices/v:"; fi
    rm -rf "$links" && mkdir -p "$links/real" && ln -s real/Handles.ini "$links/Handles.ini" &&
      ln -s absent.ini "$links/Dangling.ini" && touch "$links/corvalin-test-links" &&
      ln -sfn "$links" "$WINEPREFIX/dosdevices/l:"
    mkdir -p "$read_only_disk"
    unmount_read_only_disk
    if [ -f "$tool" ] && mount -t tmpfs -o size=1m tmpfs "$read_only_disk" 2>/dev/null; then
      cp "$tool" "$read_only_disk/" && mkdir "$read_only_disk/start" "$read_only_disk/inplace" &&
        touch "$read_only_disk/inplace/Handles.ini" "$writable_file" && mount -o remount,ro "$read_only_disk" &&
        mount --bind "$writable_file" "$read_only_disk/inplace/Handles.ini" &&
        ln -sfn "$read_only_disk" "$WINEPREFIX/dosdevices/u:"
    fi
    wineserver -p >/dev/null 2>&1 </dev/null
    wine cmd.exe /c exit >/dev/null 2>&1 </dev/null
    exit 0 ;;
  stop)
    wineserver -k >/dev/null 2>&1
    rm -f "$WINEPREFIX/dosdevices/t:" "$WINEPREFIX/dosdevices/u:" "$WINEPREFIX/dosdevices/v:" "$WINEPREFIX/dosdevices/l:"
    rm -rf "$links"
    mountpoint -q "$small_disk" && umount "$small_disk"
    mountpoint -q "$inode_disk" && umount "$inode_disk"
    unmount_read_only_disk
    exit 0 ;;
esac
