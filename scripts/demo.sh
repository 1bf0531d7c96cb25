#!/usr/bin/env bash
# The tool's main job on the stand-in IDE: sets up and builds, then under Xvfb
# (Wine's X11 driver, a real screen) starts the stand-in IDE, runs Corvalin.exe
# with /fullscreentype=1, again to leave, then the same with /fullscreentype=2,
# printing the window's state after each run and saving a screenshot of each
# step to docs/ (or the folder given).
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
shots=${1:-$root/docs}
bash scripts/setup.sh >/dev/null
prefix=$root/build/wineprefix-x11
bash cmake/wine-prefix.sh "$prefix" x11
mkdir -p "$shots" build/shots
rm -f build/shots/*.bmp
export WINEPREFIX=$prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
xvfb-run -a -s "-screen 0 1280x800x24" \
  wine build/bin/standin_ide.exe demo "Z:${root//\//\\}\\build\\shots\\" | tr -d '\r'
for bmp in build/shots/*.bmp; do
  convert "$bmp" "$shots/$(basename "${bmp%.bmp}").png"
done
echo "Screenshots: $shots"
