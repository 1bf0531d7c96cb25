#!/usr/bin/env bash
# Makes the Wine prefix the tests run in: headless (null graphics driver),
# without the crash dialog, and with the relay trace (for a process started with
# WINEDEBUG=+pid,+relay) cut down to the calls the tests read. Usage: wine-prefix.sh PREFIX [null|x11|monitors]
#   x11       one 1280x800 virtual desktop, for the demo's screenshots
#   monitors  Wine's X11 driver on the whole X display: its monitors from
#             Xinerama, windows placed and maximized by Wine itself
set -euo pipefail
prefix=$1
driver=${2:-null}
. "$(dirname "$0")/wine-env.sh" "$prefix"
if [ ! -f "$prefix/.corvalin-$driver-relay" ]; then
  rm -rf "$prefix"
  wineboot --init >/dev/null 2>&1
  wineserver -w
  if [ "$driver" = null ]; then
    wine reg add 'HKCU\Software\Wine\Drivers' /v Graphics /d null /f >/dev/null 2>&1
  elif [ "$driver" = monitors ]; then
    # RandR would report one output; Xinerama reports every screen.
    wine reg add 'HKCU\Software\Wine\X11 Driver' /v UseXRandR /d N /f >/dev/null 2>&1
    wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1
  else
    # A virtual desktop: Wine draws frames and maximizes windows itself, with no
    # window manager on the X server.
    wine reg add 'HKCU\Software\Wine\Explorer' /v Desktop /d Default /f >/dev/null 2>&1
    wine reg add 'HKCU\Software\Wine\Explorer\Desktops' /v Default /d 1280x800 /f >/dev/null 2>&1
  fi
  wine reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f >/dev/null 2>&1
  wine reg add 'HKCU\Software\Wine\Debug' /v RelayInclude /d 'user32.SetMenu;kernel32.ExitProcess' /f >/dev/null 2>&1
  wineserver -w
  touch "$prefix/.corvalin-$driver-relay"
fi
