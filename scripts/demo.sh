#!/usr/bin/env bash
# The tool's main job on the stand-in IDE: sets up and builds, then under Xvfb
# (Wine's X11 driver, a real screen) runs two cycles, each on a fresh stand-in
# IDE: Corvalin.exe with /fullscreentype=1 to enter and again to leave, then the
# same with /fullscreentype=2. After each step it prints the window's state,
# Handles.ini and the menu handle Corvalin handed to SetMenu (from Wine's relay
# trace), and saves a screenshot to docs/ (or the folder given), where it also
# puts an animated picture of the whole cycle, corvalin-cycle.gif. The IDE has
# its tools panel on the right; a second argument "left", "none" or "auto" puts
# it on the left, leaves it out or lets it hide itself ("right" keeps it), and a
# third, "relayout", also shows the fullscreen layout after the IDE laid itself
# out again (another source tab, a new file, its error log hidden).
# Usage: scripts/demo.sh [FOLDER [right|left|none|auto] [relayout]]
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
shots=${1:-$root/docs}
bash scripts/setup.sh >/dev/null
prefix=$root/build/wineprefix-x11
bash cmake/wine-prefix.sh "$prefix" x11
mkdir -p "$shots" build/shots
rm -f build/shots/*.bmp build/shots/*.png
# The runs' relay trace goes to the demo's standard error, which the children
# inherit; the demo reads the handed-back menu from there.
trace=$root/build/shots/relay-trace.txt
. cmake/wine-env.sh "$prefix"
export CORVALIN_RELAY_TRACE=$trace
status=0
xvfb-run -a -s "-screen 0 1280x800x24" \
  wine build/bin/standin_ide.exe demo "Z:${root//\//\\}\\build\\shots\\" "${@:2}" 2>"$trace" | tr -d '\r' || status=$?
# Wine's other messages, without the trace and without the desktop process's
# farewell when xvfb-run ends the X server.
grep -v -e ':Call ' -e ':Ret ' -e 'Starting thread proc' -e 'relay:load_list' -e 'wine32' -e 'multiarch' \
  -e 'dpkg --add' -e 'apt-get install' -e 'X connection to .* broken' "$trace" >&2 || true
[ "$status" -eq 0 ] || exit "$status"
rm -f "$shots"/[0-9]-*.png
captions=("The stand-in IDE" "/fullscreentype=1: entered" "/fullscreentype=1 again: back (no menu under Wine)"
          "A fresh stand-in IDE" "/fullscreentype=2: entered" "/fullscreentype=2 again: back (no menu under Wine)")
frames=()
for bmp in build/shots/*.bmp; do
  name=$(basename "${bmp%.bmp}")
  convert "$bmp" "$shots/$name.png"
  # A frame of the animation: half size, with the step written under it.
  convert "$bmp" -resize 50% -background '#202020' -gravity south -splice 0x26 -font DejaVu-Sans -pointsize 15 \
    -fill white -annotate +0+5 "${captions[${name%%-*}]:-$name}" "build/shots/$name-frame.png"
  frames+=("build/shots/$name-frame.png")
done
convert -delay 180 -loop 0 "${frames[@]}" +dither -colors 128 -layers Optimize "$shots/corvalin-cycle.gif"
echo "Screenshots: $shots"
echo "Animation: $shots/corvalin-cycle.gif ($(( $(stat -c %s "$shots/corvalin-cycle.gif") / 1024 )) KiB)"
