#!/usr/bin/env bash
# The real show on Wayland: weston (its X11 backend, 1920x1080, inside Xvfb:
# weston's headless backend makes SDL 2.26's Wayland start-up crash) and the
# show on SDL's wayland driver, driven through the real keyboard and checked
# by screenshots: full screen shows the moment --start asked for, 4:3 and
# centred between black bars; Space held for two seconds switches once to a
# window on weston's desktop, placed as weston places new windows, not over
# its panel; one more press switches back; Escape exits 0.
set -u
build=$(cd "$1" && pwd)
here=$(cd "$(dirname "$0")" && pwd)
[ -d "$build/Data" ] || { echo "SKIP: no show data in $build/Data"; exit 77; }
source "$here/lib/desktop.sh"
trap 'rm -rf "$work"' EXIT
skip_without xvfb-run xdotool weston import compare "$convert"

cat >"$work/inner.sh" <<'SCRIPT'
set -u
build=$1 lib=$2
source "$lib"
export XDG_RUNTIME_DIR=$work/runtime
mkdir -m 700 "$XDG_RUNTIME_DIR"
trap 'rm -rf "$work"' EXIT
log=$work/show.log
show="" compositor=""
fail() {
  echo "FAIL: $*"
  [ -f "$log" ] && tail -c 2000 "$log"
  [ -f "$work/weston.log" ] && tail -5 "$work/weston.log"
  [ -n "$show" ] && kill "$show" 2>/dev/null
  [ -n "$compositor" ] && kill "$compositor" 2>/dev/null
  exit 1
}

start=8  # the title scene; looked at within 25 s
make_references "$build" $start 25 || fail "velmora-trailer-tool could not draw the reference frames"

weston --backend=x11-backend.so --socket=trailer-wl --width=1920 --height=1080 --use-pixman \
  >"$work/weston.log" 2>&1 &
compositor=$!
for _ in $(seq 1 200); do
  [ -S "$XDG_RUNTIME_DIR/trailer-wl" ] && break
  kill -0 "$compositor" 2>/dev/null || fail "weston did not start"
  sleep 0.1
done
[ -S "$XDG_RUNTIME_DIR/trailer-wl" ] || fail "weston made no socket"
xdotool mousemove 960 540  # keys go to the X window under the pointer: weston's

cd "$work"
WAYLAND_DISPLAY=trailer-wl SDL_VIDEODRIVER=wayland SDL_AUDIODRIVER=dummy "$build/velmora-trailer" --start $start >"$log" 2>&1 &
show=$!

wait_for_picture() {
  local until=$((SECONDS + 45))
  echo "no screenshot yet" >"$work/check"
  while [ $SECONDS -lt $until ]; do
    kill -0 "$show" 2>/dev/null || fail "the show ended; last look: $(cat "$work/check")"
    import -window root "$work/shot.png" 2>/dev/null
    check_fullscreen_shot "$work/shot.png" 1920 1080 >"$work/check" 2>&1 && { cat "$work/check"; return 0; }
    sleep 0.5
  done
  fail "$(cat "$work/check")"
}
# "full" while the right bar is black, "window" while weston's desktop shows
# there, empty in between.
state() {
  import -window root "$work/state.png" 2>/dev/null
  local brightest mean
  brightest=$(region "$work/state.png" 200x980+1720+100 maxima)
  mean=$(region "$work/state.png" 200x980+1720+100 mean)
  if at_most "$brightest" 0.03; then echo full
  elif ! at_most "$mean" 0.15; then echo window
  fi
}
# Counts the switches seen in screenshots until SECONDS pass, from $last.
count_switches() {
  local until=$((SECONDS + $1)) now
  while [ $SECONDS -lt $until ]; do
    now=$(state)
    [ -z "$now" ] || [ "$now" = "$last" ] || { switches=$((switches + 1)); last=$now; }
  done
}

wait_for_picture
switches=0
last=full
xdotool keydown space
count_switches 2
xdotool keyup space
count_switches 3
[ "$switches" -eq 1 ] && [ "$last" = window ] || fail "holding Space for 2 s switched $switches times, to '$last'"
echo "Space held for 2 s: $switches switch, a window on weston's desktop"
# Weston's panel across the top is whole: its left, where a window at the
# output's corner would lie, looks as its middle does.
import -window root "$work/window.png" 2>/dev/null
panel_left=$(region "$work/window.png" 600x20+40+2 maxima)
panel_middle=$(region "$work/window.png" 600x20+900+2 maxima)
awk -v a="$panel_left" -v b="$panel_middle" 'BEGIN { exit !(a - b < 0.05 && b - a < 0.05) }' ||
  fail "the window lies over weston's panel: its left's brightest $panel_left, its middle's $panel_middle"
echo "the window is off weston's panel (the panel's brightest $panel_left left, $panel_middle middle)"

switches=0
xdotool key space
count_switches 4
[ "$switches" -eq 1 ] || fail "one press of Space switched $switches times"
echo "Space pressed once: $switches switch"
wait_for_picture

xdotool key Escape
for _ in $(seq 1 300); do kill -0 "$show" 2>/dev/null || break; sleep 0.1; done
kill -0 "$show" 2>/dev/null && fail "still running 30 s after Escape"
wait "$show"
code=$?
[ $code -eq 0 ] || fail "exit code $code after Escape"
echo "Escape: exit 0"
kill "$compositor"
wait "$compositor" 2>/dev/null
echo PASS
SCRIPT
xvfb-run -a -s "-screen 0 1920x1080x24" bash "$work/inner.sh" "$build" "$here/lib/desktop.sh"
