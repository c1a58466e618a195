#!/usr/bin/env bash
# The viewer's controls, end to end: the show in a window under Xvfb, playing
# through a PulseAudio of its own, on a session bus of its own, driven by
# playerctl (a real MPRIS client) and by keys. A pause holds the picture (two
# screenshots a second apart are the same) and the sound (the sink's monitor
# is silent); a jump while paused draws exactly velmora-trailer-tool's frame
# of its moment and stays paused; play, P, Left and Stop do what they say;
# without a session bus the show says so once and plays.
set -u
build=$(cd "$1" && pwd)
here=$(cd "$(dirname "$0")" && pwd)
[ -d "$build/Data" ] || { echo "SKIP: no show data in $build/Data"; exit 77; }
# Timed against a real server and a real window: a sanitizer build would be
# measured instead of the controls. Their logic runs under the sanitizers in
# the unit tests.
grep -q '^TRAILER_\(SANITIZE\|TSAN\):BOOL=ON' "$build/CMakeCache.txt" &&
  { echo "SKIP: a sanitizer build is too slow for the controls' timings"; exit 77; }
source "$here/lib/desktop.sh"
trap 'rm -rf "$work"' EXIT
skip_without xvfb-run xdotool import compare pulseaudio pactl parec dbus-daemon playerctl python3

cat >"$work/inner.sh" <<'SCRIPT'
set -u
build=$1 work=$2
title="Velmora One, The Trailer - by Quintrel"
export XDG_RUNTIME_DIR=$work/runtime
mkdir -m 700 "$XDG_RUNTIME_DIR"
unset PULSE_SERVER SDL_AUDIODRIVER DBUS_SESSION_BUS_ADDRESS
pids=()
show=""
cleanup() { for pid in $show "${pids[@]}"; do kill "$pid" 2>/dev/null; done; }
trap cleanup EXIT
fail() {
  echo "FAIL: $*"
  tail -c 2000 "$work/show.log" 2>/dev/null
  exit 1
}
player() { playerctl -p velmora_trailer "$@" 2>&1; }
window_of() {
  local window=""
  for _ in $(seq 1 150); do
    window=$(xdotool search --onlyvisible --name "^$title\$" 2>/dev/null | head -1)
    [ -n "$window" ] && break
    kill -0 "$show" 2>/dev/null || fail "the show ended before its window appeared"
    sleep 0.2
  done
  [ -n "$window" ] || fail "no window titled '$title'"
  echo "$window"
}

# Without a session bus: one line, and the show plays on.
"$build/velmora-trailer" --window --silent --start 20 >"$work/show.log" 2>&1 &
show=$!
window=$(window_of)
sleep 2
kill -0 "$show" 2>/dev/null || fail "without a session bus the show ended"
[ "$(grep -c 'no session bus' "$work/show.log")" = 1 ] || fail "no single line saying there is no session bus"
xdotool key --window "$window" Escape
wait "$show"
show=""
echo "without a session bus: '$(grep 'no session bus' "$work/show.log")', and the show played"

pulseaudio --daemonize=no --exit-idle-time=-1 -n --load="module-null-sink sink_name=testsink" \
  --load="module-native-protocol-unix" --log-target=file:"$work/pa.log" &
pids+=($!)
for _ in $(seq 150); do pactl info >/dev/null 2>&1 && break; sleep 0.1; done
eval "$(dbus-daemon --session --fork --print-address=1 --print-pid=1 | {
  read -r address; read -r pid; echo "export DBUS_SESSION_BUS_ADDRESS=$address; pids+=($pid)"; })"

"$build/velmora-trailer" --window --start 30 >"$work/show.log" 2>&1 &
show=$!
window=$(window_of)
for _ in $(seq 50); do [ "$(player status)" = Playing ] && break; sleep 0.2; done
[ "$(player status)" = Playing ] || fail "playerctl does not see the show playing: $(player status)"
player metadata >"$work/metadata"
grep -q "xesam:title *Velmora One, The Trailer" "$work/metadata" || fail "metadata: $(cat "$work/metadata")"
grep -q "mpris:length *133224761" "$work/metadata" || fail "metadata: $(cat "$work/metadata")"
sleep 2

# Paused: the picture stands, the sound stops, the position holds.
player pause
sleep 0.6
[ "$(player status)" = Paused ] || fail "after pause: $(player status)"
before=$(player position)
import -window "$window" "$work/a.png"
timeout 1 parec -d testsink.monitor --raw --format=s16le --rate=44100 --channels=2 >"$work/paused.raw" 2>/dev/null
import -window "$window" "$work/b.png"
after=$(player position)
differing=$(compare -metric AE "$work/a.png" "$work/b.png" null: 2>&1)
[ "$differing" = 0 ] || fail "the paused picture changed: $differing pixels"
[ "$before" = "$after" ] || fail "the paused position moved: $before, then $after"
read -r loudest count < <(python3 -c "
import array, sys
samples = array.array('h', open(sys.argv[1], 'rb').read())
print(max((abs(s) for s in samples), default=-1), len(samples))" "$work/paused.raw")
[ "$count" -gt 44100 ] && [ "$loudest" -le 16 ] || fail "the paused sink played: loudest of $count samples $loudest"
echo "paused at $before s: two screenshots a second apart equal, the sink silent (loudest of $count samples: $loudest)"

# A jump while paused: the tool's frame of that moment, still paused.
"$build/velmora-trailer-tool" frame $((80 * 88200)) "$work/tool.png" >/dev/null 2>&1 || fail "no tool frame"
player position 80
sleep 0.6
import -window "$window" "$work/c.png"
differing=$(compare -metric AE "$work/c.png" "$work/tool.png" null: 2>&1)
[ "$differing" = 0 ] || fail "the jump to 80 s drew something else: $differing pixels differ from the tool's frame"
[ "$(player status)" = Paused ] || fail "a jump while paused went on playing"
echo "jumped to $(player position) s while paused: the window equals velmora-trailer-tool's frame"

# Play, P twice, Left, then Stop.
player play
sleep 2
position=$(player position)
awk -v p="$position" 'BEGIN { exit !(p > 81.0 && p < 83.5) }' || fail "2 s after play from 80 s: $position"
xdotool key --window "$window" p
sleep 0.4
[ "$(player status)" = Paused ] || fail "P did not pause"
xdotool key --window "$window" p
sleep 0.4
[ "$(player status)" = Playing ] || fail "P did not resume"
before=$(player position)
xdotool key --window "$window" Left
sleep 0.3
after=$(player position)
awk -v a="$before" -v b="$after" 'BEGIN { exit !(b < a - 4.0 && b > a - 5.6) }' || fail "Left: $before s, then $after s"
echo "play from 80 s: $position s two seconds on; P paused and resumed; Left: $before s to $after s"
player stop
wait "$show"
code=$?
show=""
[ $code = 0 ] || fail "Stop ended the show with $code"
echo "Stop: exit 0"
echo PASS
SCRIPT
xvfb-run -a -s "-screen 0 1024x768x24" bash "$work/inner.sh" "$build" "$work"
