#!/usr/bin/env bash
# Draws the README's pictures of the player: each layout and the pop-up menu, taken from a
# real X display (Xvfb with openbox) at twice the usual size. Needs what scripts/setup.sh
# installs, plus netpbm. Usage: scripts/screenshots.sh [build-dir] (default: build)
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$here/build}
out=$here/docs
work=$(mktemp -d)
pids=()
finish() {
  for ((i = ${#pids[@]} - 1; i >= 0; i--)); do kill "${pids[i]}" 2>/dev/null || true; done
  wait 2>/dev/null || true
  rm -rf "$work"
}
trap finish EXIT

exec {fd}>"$work/display"
Xvfb -displayfd "$fd" -screen 0 1400x1000x24 -nolisten tcp >/dev/null 2>&1 &
pids+=($!)
for _ in $(seq 100); do [ -s "$work/display" ] && break; sleep 0.1; done
export DISPLAY=:$(head -1 "$work/display")
openbox --sm-disable >/dev/null 2>&1 &
pids+=($!)
for _ in $(seq 100); do xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q window && break; sleep 0.1; done

mkdir -p "$work/settings" "$work/runtime"
chmod 700 "$work/runtime"
XDG_RUNTIME_DIR=$work/runtime QT_QPA_PLATFORM=xcb QT_SCALE_FACTOR=2 \
  DBUS_SESSION_BUS_ADDRESS=unix:path=$work/no-bus \
  "$build/bin/qvplayer" --drive demo --audio null --settings-dir "$work/settings" \
  --library "$build/demo/demo.dbd" >/dev/null 2>&1 &
pids+=($!)
player=${pids[-1]}
window=
for _ in $(seq 200); do
  for id in $(xprop -root _NET_CLIENT_LIST 2>/dev/null | grep -o '0x[0-9a-f]*'); do
    xprop -id "$id" _NET_WM_PID | grep -q "= $player$" && window=$id
  done
  [ -n "$window" ] && break
  sleep 0.1
done
[ -n "$window" ] || { echo "the player's window did not show" >&2; exit 1; }
xdotool windowmove "$window" 200 100
sleep 3  # a few seconds into the first track

# A point of the window in its own pixels (twips / 15), at twice the size.
at() { eval "$(xdotool getwindowgeometry --shell "$window")"; echo $((X + 2 * $1)) $((Y + 2 * $2)); }
click() { xdotool mousemove $(at "$1" "$2") click "${3:-1}"; sleep 1; }
shot() {
  xwd -id "$window" -silent | xwdtopnm 2>/dev/null | pnmtopng >"$out/$1"
  echo "$out/$1"
}

shot screenshot.png
click 288 102              # the list button
shot screenshot-list.png
click 288 102
click 273 102              # the cover button
shot screenshot-cover.png
click 273 102
xdotool mousemove $(at 3 60) click --repeat 2 --delay 80 1   # double-click: the bar
sleep 1
shot screenshot-bar.png
xdotool mousemove $(at 1 8) click --repeat 2 --delay 80 1
sleep 1
click 6 4                  # the menu button; the menu opens under the pointer
xdotool mousemove $(at 40 40)
sleep 0.5
eval "$(xdotool getwindowgeometry --shell "$window")"
xwd -root -silent | xwdtopnm 2>/dev/null | pamcut -left "$X" -top "$Y" -width 650 -height 620 \
  | pnmtopng >"$out/screenshot-menu.png"
echo "$out/screenshot-menu.png"
xdotool key Escape
