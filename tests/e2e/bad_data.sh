#!/usr/bin/env bash
# Bad files, folders and paths as real disks hold them, each with a clear
# answer: the message that names what failed and the exit status, never a
# crash, a hang or a silent success.
# - the soundtrack: a header claiming 4 billion frames, a FIFO, no sound output;
# - models: a FIFO, zeros, random bytes (the show and velmora-trailer-tool model);
# - textures: missing, dangling, corrupt, named on stderr before the boxes;
# - data folders: a stray "data" folder, --data naming no data folder;
# - SIGTERM and SIGINT while the show starts;
# - velmora-trailer-tool: paths from the working directory, an export into a folder,
#   an export whose last close fails.
# The show runs headless: SDL's offscreen video with no display, so its boxes
# are printed on stderr as "TITLE: TEXT", and SDL's dummy sound driver.
set -u
build=$(cd "$1" && pwd)
here=$(cd "$(dirname "$0")" && pwd)
[ -d "$build/Data" ] && [ -f "$build/TrailerLOW.mp3" ] || { echo "SKIP: no show data in $build"; exit 77; }
command -v timeout >/dev/null || { echo "SKIP: timeout is not installed"; exit 77; }
show=$build/velmora-trailer
tool=$build/velmora-trailer-tool
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

# A data folder of links to the build's data, to spoil one file at a time.
fresh_data() {
  rm -rf "$work/d"
  mkdir -p "$work/d/Data"
  ln -s "$build/TrailerLOW.mp3" "$work/d/TrailerLOW.mp3"
  for f in "$build"/Data/*; do ln -s "$f" "$work/d/Data/"; done
}

# [cwd=DIR] [audio=DRIVER] run SECONDS COMMAND...: stdout in $work/out,
# stderr in $work/err, exit status in $code (124 or 137: it outlived the time,
# or timeout's SIGTERM too).
run() {
  local limit=$1
  shift
  (cd "${cwd:-$PWD}" && exec env -u DISPLAY -u WAYLAND_DISPLAY SDL_VIDEODRIVER=offscreen \
    SDL_AUDIODRIVER="${audio:-dummy}" timeout -k 5 "$limit" "$@") >"$work/out" 2>"$work/err" </dev/null
  code=$?
}

# expect WHAT STATUS TEXT...: the last run exited STATUS and its stderr holds
# every TEXT as a whole line, in that order.
expect() {
  local what=$1 status=$2 line=0 at
  shift 2
  if [ "$code" -ne "$status" ]; then
    fail "$what: exit $code, not $status; stderr: $(tail -c 600 "$work/err")"
    return
  fi
  for text in "$@"; do
    at=$(grep -nxF -- "$text" "$work/err" | head -1 | cut -d: -f1)
    if [ -z "$at" ] || [ "$at" -le "$line" ]; then
      fail "$what: stderr lacks, or has out of order, '$text': $(tail -c 600 "$work/err")"
      return
    fi
    line=$at
  done
  echo "ok: $what (exit $code)"
}

# --- The soundtrack ---------------------------------------------------------

# A tone whose Info header claims 0xFFFFFFF0 frames.
if command -v ffmpeg >/dev/null; then
  fresh_data
  rm "$work/d/TrailerLOW.mp3"
  ffmpeg -v error -f lavfi -i "sine=frequency=440:duration=1" -ar 22050 -ac 2 -c:a libmp3lame -b:a 64k \
    "$work/d/TrailerLOW.mp3"
  at=$(LC_ALL=C grep -obUa -m1 -e 'Info' -e 'Xing' "$work/d/TrailerLOW.mp3" | head -1 | cut -d: -f1)
  if [ -z "$at" ]; then
    fail "ffmpeg wrote no Xing/Info header"
  else
    # The flags word follows the tag; the frame count follows the flags.
    printf '\x00\x00\x00\x0f\xff\xff\xff\xf0' |
      dd of="$work/d/TrailerLOW.mp3" bs=1 seek=$((at + 4)) conv=notrunc status=none
    run 60 "$show" --window --data "$work/d"
    expect "soundtrack claiming 4 billion frames" 1 "Error: Unable to create stream file!" \
      "BASS Init Error: Unsupported format"
  fi
else
  echo "ffmpeg is not installed: the lying MP3 header is not tried"
fi

fresh_data
rm "$work/d/TrailerLOW.mp3"
mkfifo "$work/d/TrailerLOW.mp3"
run 30 "$show" --window --data "$work/d"
expect "soundtrack a FIFO" 1 "Error: Unable to create stream file!" "BASS Init Error: Unable to open file"

# No sound server and no sound card: the boxes, then how to watch anyway.
mkdir -p "$work/runtime"
audio=pulseaudio run 30 env PULSE_SERVER="unix:$work/no-server" XDG_RUNTIME_DIR="$work/runtime" \
  "$show" --window --data "$build"
expect "no sound output" 1 "Error: Can't initialize digital sound system"
last=$(tail -1 "$work/err")
case $last in
  *--silent*) echo "ok: no sound output: the last line says how: $last" ;;
  *) fail "no sound output: the last line on stderr is '$last'" ;;
esac
audio=pulseaudio run 60 env PULSE_SERVER="unix:$work/no-server" XDG_RUNTIME_DIR="$work/runtime" \
  "$show" --window --data "$build" --silent --start 132.5
expect "no sound output, --silent" 0

# --- Models -----------------------------------------------------------------

fresh_data
rm "$work/d/Data/Castle1.3ds"
mkfifo "$work/d/Data/Castle1.3ds"
run 30 "$show" --window --data "$work/d"
expect "model a FIFO" 1 'Loading error: Data\Castle1.3ds is not a regular file!' "Ups!: Demo Init error..."
run 10 "$tool" model "$work/d/Data/Castle1.3ds"
expect "velmora-trailer-tool model on a FIFO" 1 "velmora-trailer-tool: model $work/d/Data/Castle1.3ds: not a regular file"

for kind in zeros random; do
  fresh_data
  rm "$work/d/Data/Castle1.3ds"
  case $kind in
    zeros) head -c 4096 /dev/zero >"$work/d/Data/Castle1.3ds" ;;
    random) head -c 1000 /dev/urandom >"$work/d/Data/Castle1.3ds" ;;
  esac
  run 60 "$show" --window --data "$work/d"
  expect "model of $kind" 1 'Loading error: Data\Castle1.3ds is not a 3DS model!' "Ups!: Demo Init error..."
  run 10 "$tool" model "$work/d/Data/Castle1.3ds"
  expect "velmora-trailer-tool model on $kind" 1 "velmora-trailer-tool: model $work/d/Data/Castle1.3ds: not a 3DS model"
done

# --- Textures ---------------------------------------------------------------

for kind in missing dangling corrupt; do
  fresh_data
  rm "$work/d/Data/Fly.tga"
  case $kind in
    missing) reason='velmora-trailer: texture Data\Fly.tga: not found' ;;
    dangling) ln -s "$work/nowhere.tga" "$work/d/Data/Fly.tga"
      reason='velmora-trailer: texture Data\Fly.tga: not found' ;;
    corrupt) head -c 300 /dev/zero >"$work/d/Data/Fly.tga"
      reason="velmora-trailer: texture Data\\Fly.tga ($work/d/Data/Fly.tga): not a 24- or 32-bit uncompressed TGA" ;;
  esac
  run 60 "$show" --window --data "$work/d"
  expect "texture $kind" 1 "$reason" "Ups!: Demo Init error..."
done

# --- Data folders -----------------------------------------------------------

# A stray "data" folder where the show is started is not its data folder: the
# data beside the executable is.
mkdir -p "$work/cwd/data"
cwd=$work/cwd run 60 "$show" --window --start 132.5
expect "an empty 'data' folder in the working directory" 0
cwd=$work/cwd run 120 "$tool" video "$work/cwd/v.mp4" --from 132 --to 132.5 --fps 4
[ "$code" -eq 0 ] && [ -s "$work/cwd/v.mp4" ] && echo "ok: velmora-trailer-tool video beside a stray 'data' folder" ||
  fail "velmora-trailer-tool video beside a stray 'data' folder: exit $code: $(tail -c 400 "$work/err")"

run 10 "$show" --window --data /no/such/folder
expect "--data /no/such/folder" 2 "velmora-trailer: --data /no/such/folder: no TrailerLOW.mp3 there, so it is not a data folder"
grep -q '^usage: velmora-trailer' "$work/err" || fail "--data /no/such/folder: no usage on stderr"
mkdir -p "$work/no-data/Data"
run 10 "$show" --window --data "$work/no-data"
expect "--data of a folder without the soundtrack" 2 \
  "velmora-trailer: --data $work/no-data: no TrailerLOW.mp3 there, so it is not a data folder"

# --- SIGTERM and SIGINT while the show starts ----------------------------------

# Job control: a background job of its own, which does not ignore SIGINT.
set -m
# The show takes about a second to start: sound, window, decoding, loading.
for delay in 0.1 0.25 0.4 0.6 1.5; do
  for signal in TERM INT; do
    env -u DISPLAY -u WAYLAND_DISPLAY SDL_VIDEODRIVER=offscreen SDL_AUDIODRIVER=dummy \
      "$show" --window --data "$build" >/dev/null 2>"$work/err" </dev/null &
    pid=$!
    sleep "$delay"
    kill -"$signal" "$pid"
    for _ in $(seq 1 100); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
    if kill -0 "$pid" 2>/dev/null; then
      kill -KILL "$pid"
      wait "$pid"
      fail "SIG$signal after $delay s: still running 10 s later"
    else
      wait "$pid"
      code=$?
      [ "$code" -eq 0 ] && echo "ok: SIG$signal after $delay s: ended, exit 0" ||
        fail "SIG$signal after $delay s: exit $code: $(tail -c 300 "$work/err")"
    fi
  done
done
set +m

# --- velmora-trailer-tool: paths as the user wrote them ---------------------------------

mkdir -p "$work/here/sub"
cp "$build/Data/Castle1.3ds" "$work/here/n.3ds"
cp "$build/Data/Fly.tga" "$work/here/n.tga"
mkfifo "$work/here/fifo.tga"
head -c 100 /dev/urandom >"$work/here/bad.tga"
cwd=$work/here run 30 "$tool" model n.3ds
[ "$code" -eq 0 ] && grep -q '^triangles [1-9]' "$work/out" && echo "ok: model n.3ds from its folder" ||
  fail "model n.3ds from its folder: exit $code: $(cat "$work/out" "$work/err" | tail -c 300)"
cwd=$work/here run 30 "$tool" texture n.tga x.png
[ "$code" -eq 0 ] && [ -s "$work/here/x.png" ] && echo "ok: texture n.tga x.png from its folder" ||
  fail "texture n.tga x.png from its folder: exit $code: $(tail -c 300 "$work/err")"
cwd=$work/here/sub run 30 "$tool" texture ../n.tga y.png
[ "$code" -eq 0 ] && [ -s "$work/here/sub/y.png" ] && echo "ok: texture ../n.tga from a folder below" ||
  fail "texture ../n.tga from a folder below: exit $code: $(tail -c 300 "$work/err")"
cwd=$work/here run 30 "$tool" texture none.tga z.png
expect "texture of a missing file" 1 "velmora-trailer-tool: texture none.tga: not found"
cwd=$work/here run 30 "$tool" texture fifo.tga z.png
expect "texture of a FIFO" 1 "velmora-trailer-tool: texture fifo.tga: not a regular file"
cwd=$work/here run 30 "$tool" texture bad.tga z.png
expect "texture of random bytes" 1 "velmora-trailer-tool: texture bad.tga: not a 24- or 32-bit uncompressed TGA"
cwd=$work/here run 30 "$tool" model none.3ds
expect "model of a missing file" 1 "velmora-trailer-tool: model none.3ds: not found"

# --- velmora-trailer-tool video: failing before the first frame, and at the end ---------

mkdir -p "$work/folder"
started=$SECONDS
run 30 "$tool" video "$work/folder"
expect "video into a folder" 1 \
  "velmora-trailer-tool: $work/folder is a folder, not a file to write the video to"
[ $((SECONDS - started)) -le 10 ] || fail "video into a folder: took $((SECONDS - started)) s to fail"
[ -z "$(ls -A "$work/folder")" ] || fail "video into a folder: left $(ls -A "$work/folder")"

if command -v cc >/dev/null && cc -shared -fPIC -O2 -o "$work/fail_close.so" "$here/lib/fail_close.c" -ldl; then
  mkdir -p "$work/c"
  ASAN_OPTIONS="${ASAN_OPTIONS:-}:verify_asan_link_order=0" LD_PRELOAD="$work/fail_close.so" \
    FAIL_CLOSE_MATCH=".v.mp4.part-" run 120 "$tool" video "$work/c/v.mp4" --from 60 --to 60.5 --fps 4
  if [ "$code" -eq 1 ] && grep -q "^velmora-trailer-tool: cannot finish writing .*: .*; $work/c/v.mp4 not written$" "$work/err" &&
    [ -z "$(ls -A "$work/c")" ]; then
    echo "ok: the export's last close fails: exit 1, no file"
  else
    fail "the export's last close fails: exit $code, left '$(ls -A "$work/c")': $(tail -c 400 "$work/err")"
  fi
else
  echo "no C compiler: the failing close is not tried"
fi

[ "$failures" -eq 0 ] || { echo "$failures failed"; exit 1; }
echo PASS
