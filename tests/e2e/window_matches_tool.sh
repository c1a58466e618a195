#!/usr/bin/env bash
# The live window and velmora-trailer-tool draw the same pixels: the show in its
# 640x480 window under Xvfb, held at its --start moment (TRAILER_HOLD=1),
# screenshotted and compared pixel for pixel with `velmora-trailer-tool frame` of the
# same millisecond. Two moments: the closing lines, where the picture stands
# still, and the castle, where it moves. Not one pixel may differ.
# No GPU and no sound card needed.
set -u
build=$(cd "$1" && pwd)
here=$(cd "$(dirname "$0")" && pwd)
[ -d "$build/Data" ] || { echo "SKIP: no show data in $build/Data"; exit 77; }
source "$here/lib/desktop.sh"
trap 'rm -rf "$work"' EXIT
skip_without xvfb-run xdotool import compare

cat >"$work/inner.sh" <<'SCRIPT'
set -u
build=$1 work=$2
title="Velmora One, The Trailer - by Quintrel"
show=""
fail() {
  echo "FAIL: $*"
  tail -c 2000 "$work/show.log" 2>/dev/null
  [ -n "$show" ] && kill "$show" 2>/dev/null
  exit 1
}

# SECONDS to the millisecond: stream bytes and clock milliseconds that both
# the show's --start and the tool's frame land on exactly.
for moment in "132.500 closing lines" "80.000 castle"; do
  seconds=${moment%% *} name=${moment#* }
  millis=$((10#${seconds/./}))
  bytes=$((millis * 882 / 10))
  "$build/velmora-trailer-tool" frame $bytes "$work/tool.png" --time $millis >/dev/null 2>&1 ||
    fail "velmora-trailer-tool could not draw $bytes"

  TRAILER_HOLD=1 SDL_AUDIODRIVER=dummy "$build/velmora-trailer" --window --start "$seconds" >"$work/show.log" 2>&1 &
  show=$!
  window=""
  for _ in $(seq 1 300); do
    window=$(xdotool search --onlyvisible --name "^$title\$" 2>/dev/null | head -1)
    [ -n "$window" ] && break
    kill -0 "$show" 2>/dev/null || fail "the show ended before its window appeared"
    sleep 0.2
  done
  [ -n "$window" ] || fail "no window titled '$title'"

  # Loading comes first; then the held moment is drawn over and over.
  differing="no screenshot"
  until=$((SECONDS + 120))
  while [ $SECONDS -lt $until ]; do
    kill -0 "$show" 2>/dev/null || fail "$name: the show ended while held"
    if import -window "$window" "$work/shot.png" 2>/dev/null; then
      differing=$(compare -metric AE "$work/shot.png" "$work/tool.png" null: 2>&1)
      [ "$differing" = 0 ] && break
    fi
    sleep 1
  done
  kill "$show"
  wait "$show"
  show=""
  [ "$differing" = 0 ] || fail "$name at ${seconds} s: $differing pixels differ from velmora-trailer-tool's frame"
  echo "$name at ${seconds} s: the window equals velmora-trailer-tool's frame, 0 pixels differ"
done
echo PASS
SCRIPT
xvfb-run -a -s "-screen 0 1024x768x24" bash "$work/inner.sh" "$build" "$work"
