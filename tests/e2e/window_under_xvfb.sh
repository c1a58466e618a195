#!/usr/bin/env bash
# The real show under Xvfb with a window manager: the window appears with its
# title, Space switches between full screen and window, Escape ends the show
# with exit code 0 within seconds. No GPU and no sound card needed.
set -u
build=$(cd "$1" && pwd)
title="Velmora One, The Trailer - by Quintrel"
# Without its data the show stops at loading, behind a message box.
[ -d "$build/Data" ] || { echo "SKIP: no show data in $build/Data"; exit 77; }

for tool in xvfb-run xdotool xprop openbox; do
  if ! command -v "$tool" >/dev/null; then
    echo "SKIP: $tool is not installed"
    exit 77
  fi
done

inner=$(mktemp)
trap 'rm -f "$inner"' EXIT
cat >"$inner" <<'SCRIPT'
set -u
build=$1 title=$2
openbox >/dev/null 2>&1 &
wm=$!
# Wait until the window manager has taken over the screen.
for _ in $(seq 1 100); do
  xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id' && break
  sleep 0.1
done
cd /tmp
SDL_AUDIODRIVER=dummy "$build/trailer" >/tmp/trailer-e2e.log 2>&1 &
show=$!
fail() { echo "FAIL: $*"; cat /tmp/trailer-e2e.log; kill $show $wm 2>/dev/null; exit 1; }

window=$(timeout 30 xdotool search --sync --name "^$title\$" | head -1) || fail "no window titled '$title'"
xprop -id "$window" WM_NAME | grep -qF "\"$title\"" || fail "title is $(xprop -id "$window" WM_NAME)"
echo "window $window: $(xprop -id "$window" WM_NAME), $(xdotool getwindowgeometry "$window" | sed -n 's/.*Geometry: //p')"

# Space re-creates the window in the other mode. Under load a key press can be
# lost while the window manager is still starting, so Space is pressed again
# when no new window has appeared after a while; a new full-screen window
# (two presses taken) gets one more.
first=$window
geometry=""
for _ in $(seq 1 6); do
  xdotool windowactivate --sync "$window" key space 2>/dev/null || xdotool key space
  for _ in $(seq 1 40); do
    kill -0 $show 2>/dev/null || fail "the show ended after Space"
    new=$(xdotool search --name "^$title\$" 2>/dev/null | grep -vx "$window" | head -1)
    [ -n "$new" ] && break
    sleep 0.25
  done
  [ -n "$new" ] || continue
  window=$new
  geometry=$(xdotool getwindowgeometry "$window" | sed -n 's/.*Geometry: //p')
  [ "$geometry" = "640x480" ] && break
done
echo "after Space: window $window (first $first), $geometry"
[ "$window" != "$first" ] || fail "no new window after Space"
[ "$geometry" = "640x480" ] || fail "windowed client area is $geometry, not 640x480"

# Escape, repeated in case a key press lands while the window is being made.
for _ in $(seq 1 30); do
  xdotool windowactivate --sync "$window" key Escape 2>/dev/null || xdotool key Escape
  for _ in $(seq 1 20); do
    kill -0 $show 2>/dev/null || break 2
    sleep 0.1
  done
done
kill -0 $show 2>/dev/null && fail "still running a minute after Escape"
wait $show
code=$?
[ $code -eq 0 ] || fail "exit code $code after Escape"
echo "Escape: exit code 0"

# A termination request is a close request: the show tears down and exits 0.
SDL_AUDIODRIVER=dummy "$build/trailer" >/tmp/trailer-e2e.log 2>&1 &
show=$!
timeout 30 xdotool search --sync --name "^$title\$" >/dev/null || fail "no window on the second start"
kill -TERM $show
wait $show
code=$?
kill $wm 2>/dev/null
[ $code -eq 0 ] || fail "exit code $code after SIGTERM"
echo "PASS: exit code 0 after Escape and after SIGTERM"
SCRIPT
xvfb-run -a -s "-screen 0 1024x768x24" bash "$inner" "$build" "$title"
