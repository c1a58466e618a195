#!/usr/bin/env bash
# The real show on a desktop-like X11 screen: Xvfb whose only mode is
# 1920x1080, with openbox, driven through the real keyboard (xdotool) and
# checked by screenshots of what it shows:
# - full screen: the picture of the moment --start asked for, 4:3 and centred
#   between black bars, with and without --mode-switch;
# - Space held for two seconds switches once, to a 640x480 window showing the
#   moment; one more press switches back;
# - minimised, the show uses almost no CPU, shows the moment again when
#   restored, and a show minimised near its end exits by itself;
# - exit status 0 after Escape, the end and SIGTERM; 1 after the boxes of
#   missing data; 2 with the usage for a bad option.
# No GPU and no sound card needed.
set -u
build=$(cd "$1" && pwd)
here=$(cd "$(dirname "$0")" && pwd)
# Without its data the show stops at loading, behind a message box.
[ -d "$build/Data" ] || { echo "SKIP: no show data in $build/Data"; exit 77; }
source "$here/lib/desktop.sh"
trap 'rm -rf "$work"' EXIT
skip_without xvfb-run xdotool xprop xwininfo openbox import compare "$convert"

cat >"$work/inner.sh" <<'SCRIPT'
set -u
build=$1 lib=$2
source "$lib"  # a fresh $work of its own
trap 'rm -rf "$work"' EXIT
title="Velmora One, The Trailer - by Quintrel"
log=$work/show.log
show="" wm=""
fail() {
  echo "FAIL: $*"
  [ -f "$log" ] && tail -c 2000 "$log"
  [ -n "$show" ] && kill "$show" 2>/dev/null
  [ -n "$wm" ] && kill "$wm" 2>/dev/null
  exit 1
}

openbox >/dev/null 2>&1 &
wm=$!
for _ in $(seq 1 100); do
  xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id' && break
  sleep 0.1
done

"$build/velmora-trailer" --bogus >"$work/out" 2>"$work/err"
code=$?
[ $code -eq 2 ] && grep -q '^usage: velmora-trailer' "$work/err" || fail "--bogus: exit $code, stderr: $(cat "$work/err")"
echo "--bogus: exit 2, the usage on stderr"

# Each show below is looked at within 25 s of its start, all in the title
# scene, which looks much the same from 8 s to 35 s.
start=8
make_references "$build" $start 25 || fail "velmora-trailer-tool could not draw the reference frames"
cd "$work"

start_show() {
  SDL_AUDIODRIVER=dummy "$build/velmora-trailer" "$@" >"$log" 2>&1 &
  show=$!
  window=""
  for _ in $(seq 1 300); do  # xdotool's own --sync trips over windows that go away
    window=$(xdotool search --onlyvisible --name "^$title\$" 2>/dev/null | head -1)
    [ -n "$window" ] && break
    kill -0 "$show" 2>/dev/null || fail "the show ended before its window appeared"
    sleep 0.2
  done
  [ -n "$window" ] || fail "no window titled '$title'"
}
geometry() { xdotool getwindowgeometry "$window" 2>/dev/null | sed -n 's/.*Geometry: //p'; }
# The window's client area as WxH+X+Y on the screen.
client_area() {
  xwininfo -id "$window" | awk '/Absolute upper-left X/ { x = $NF } /Absolute upper-left Y/ { y = $NF }
    /Width:/ { w = $NF } /Height:/ { h = $NF } END { print w "x" h "+" x "+" y }'
}
# Waits (loading comes first) until a screenshot passes a check.
wait_for_picture() {
  local check=$1
  local until=$((SECONDS + 45))
  echo "no screenshot yet" >"$work/check"
  while [ $SECONDS -lt $until ]; do
    kill -0 "$show" 2>/dev/null || fail "the show ended; last look: $(cat "$work/check")"
    import -window root "$work/shot.png" 2>/dev/null
    $check >"$work/check" 2>&1 && { cat "$work/check"; return 0; }
    sleep 0.5
  done
  fail "$(cat "$work/check")"
}
full_picture() { check_fullscreen_shot "$work/shot.png" 1920 1080; }
window_picture() {
  local area
  area=$(client_area)
  [ "${area%%+*}" = "640x480" ] || { echo "window client area $area"; return 1; }
  shows_moment "$work/shot.png" "$area" || { echo "window at $area: not the moment ($(cat "$work/verdict"))"; return 1; }
  echo "window: client area $area shows $(cat "$work/verdict")"
}
# Counts the switches between full screen and window until SECONDS pass,
# from the size in $last (taken before the key went down).
count_switches() {
  local until=$((SECONDS + $1)) now
  while [ $SECONDS -lt $until ]; do
    now=$(geometry)
    [ -z "$now" ] || [ "$now" = "$last" ] || { switches=$((switches + 1)); last=$now; }
    sleep 0.05
  done
}
# The managed window with that title; SDL's message boxes give their title
# in a form xdotool's search does not read.
client_named() {
  local id
  for id in $(xprop -root _NET_CLIENT_LIST 2>/dev/null | sed -n 's/.*# //p' | tr -d ','); do
    xprop -id "$id" _NET_WM_NAME 2>/dev/null | grep -qxF "_NET_WM_NAME(UTF8_STRING) = \"$1\"" && { echo "$id"; return; }
  done
}
minimise() {
  for _ in $(seq 1 50); do
    xdotool windowminimize "$window" 2>/dev/null
    for _ in 1 2 3 4 5; do
      xprop -id "$window" WM_STATE 2>/dev/null | grep -q Iconic && return 0
      sleep 0.1
    done
  done
  fail "the window did not minimise"
}
escape_ends_it() {
  xdotool windowactivate --sync "$window" key Escape 2>/dev/null || xdotool key Escape
  for _ in $(seq 1 300); do kill -0 "$show" 2>/dev/null || break; sleep 0.1; done
  kill -0 "$show" 2>/dev/null && fail "still running 30 s after Escape"
  wait "$show"
  code=$?
  [ $code -eq 0 ] || fail "exit code $code after Escape"
  echo "Escape: exit 0"
}

# Full screen without a mode switch, the default.
start_show --start $start
wait_for_picture full_picture

# Held Space: one switch, auto-repeat or not.
xdotool windowactivate --sync "$window" 2>/dev/null
switches=0
last=$(geometry)
xdotool keydown space
count_switches 2
xdotool keyup space
count_switches 3
[ "$switches" -eq 1 ] || fail "holding Space for 2 s switched $switches times"
[ "$(geometry)" = "640x480" ] || fail "after Space the window is $(geometry)"
echo "Space held for 2 s: $switches switch, window $(geometry)"
wait_for_picture window_picture

# Minimised: almost no CPU; restored, the moment again.
minimise
cpu=$(cpu_percent "$show" 4)
echo "minimised: ${cpu}% of a core over 4 s"
at_most "$cpu" 5 || fail "minimised, the show used ${cpu}% of a core"
xdotool windowactivate --sync "$window" 2>/dev/null || xdotool windowmap "$window"
wait_for_picture window_picture
escape_ends_it

# One press back to full screen.
start_show --window --start $start
wait_for_picture window_picture
switches=0
last=$(geometry)
xdotool windowactivate --sync "$window" key space 2>/dev/null
count_switches 4
[ "$switches" -eq 1 ] || fail "one press of Space switched $switches times"
echo "Space pressed once: $switches switch"
wait_for_picture full_picture
escape_ends_it

# The period look: a display mode switch (here the only mode there is).
start_show --mode-switch --start $start
wait_for_picture full_picture
escape_ends_it

# Minimised near the end: it ends by itself, with 0.
start_show --window --start 128
minimise
for _ in $(seq 1 600); do kill -0 "$show" 2>/dev/null || break; sleep 0.1; done
kill -0 "$show" 2>/dev/null && fail "minimised, the show did not end by itself"
wait "$show"
code=$?
[ $code -eq 0 ] || fail "exit code $code at the end of the show"
echo "minimised near the end: ended by itself, exit 0"

# A termination request is a close request: exit 0.
start_show --window
kill -TERM "$show"
wait "$show"
code=$?
[ $code -eq 0 ] || fail "exit code $code after SIGTERM"
echo "SIGTERM: exit 0"

# Missing data: both boxes, then exit 1. The show alone in a folder with only
# its soundtrack: that folder is its data folder, and it has no Data.
mkdir "$work/alone"
cp "$build/velmora-trailer" "$build/TrailerLOW.mp3" "$work/alone/"
SDL_AUDIODRIVER=dummy "$work/alone/velmora-trailer" --window >"$log" 2>&1 &
show=$!
boxes=""
for _ in $(seq 1 300); do
  kill -0 "$show" 2>/dev/null || break
  for caption in "Loading error" "Ups!"; do
    box=$(client_named "$caption")
    [ -n "$box" ] || continue
    xdotool windowactivate --sync "$box" key Return 2>/dev/null || xdotool key Return
    case $boxes in *"$caption"*) ;; *) boxes="$boxes[$caption]" ;; esac
  done
  sleep 0.1
done
kill -0 "$show" 2>/dev/null && fail "still running with its data missing"
wait "$show"
code=$?
[ $code -eq 1 ] || fail "exit code $code with the data missing"
[ "$boxes" = "[Loading error][Ups!]" ] || fail "boxes seen: $boxes"
echo "missing data: boxes $boxes, exit 1"

kill "$wm" 2>/dev/null
echo PASS
SCRIPT
xvfb-run -a -s "-screen 0 1920x1080x24" bash "$work/inner.sh" "$build" "$here/lib/desktop.sh"
