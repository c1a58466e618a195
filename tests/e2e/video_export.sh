#!/usr/bin/env bash
# velmora-trailer-tool video: a short export is a file ffprobe reads with the right
# duration, frame count and an audio stream, the same frames on a second run,
# and the sound the show hears at those moments; a failed or interrupted
# export leaves no file behind.
set -u
tool="$(cd "$1" && pwd)/velmora-trailer-tool"
[ -d "$1/Data" ] || { echo "SKIP: no show data in $1/Data"; exit 77; }
for t in ffprobe ffmpeg; do command -v $t >/dev/null || { echo "SKIP: $t is not installed"; exit 77; }; done
out=$(mktemp -d)
pid=
trap '[ -n "$pid" ] && kill "$pid" 2>/dev/null; rm -rf "$out"' EXIT
fail() { echo "FAIL: $*"; exit 1; }
# Names in the folder other than the ones given (no leftovers).
others() { ls -A "$out/$1" | grep -vx -e "${2:-}" ; }

# Two seconds at 10 fps from 60.5 s: the title scene into the hand scene.
mkdir "$out/a" "$out/b"
for run in a b; do
  "$tool" video "$out/$run/v.mp4" --fps 10 --from 60.5 --to 62.5 >"$out/$run.log" 2>&1 || { cat "$out/$run.log"; fail "export exited $?"; }
done
grep -q "^wrote $out/a/v.mp4" "$out/a.log" || fail "no line saying where the file is: $(tail -1 "$out/a.log")"

probe() { ffprobe -v error -count_frames -show_entries "$1" -of default=nw=1:nk=1 "$out/a/v.mp4"; }
[ "$(probe stream=codec_type | sort | tr '\n' ' ')" = "audio video " ] || fail "streams: $(probe stream=codec_type)"
frames=$(ffprobe -v error -select_streams v -count_frames -show_entries stream=nb_read_frames -of csv=p=0 "$out/a/v.mp4")
[ "$frames" = 20 ] || fail "$frames video frames, not 20"
duration=$(probe format=duration)
awk -v d="$duration" 'BEGIN { exit !(d > 1.99 && d < 2.03) }' || fail "lasts $duration s, not 2"
vduration=$(ffprobe -v error -select_streams v -show_entries stream=duration -of csv=p=0 "$out/a/v.mp4")
awk -v d="$vduration" 'BEGIN { exit !(d > 1.999 && d < 2.001) }' || fail "video lasts $vduration s, not 2"

ffmpeg -v error -i "$out/a/v.mp4" -map 0:v -f framemd5 "$out/a.md5" || fail "cannot decode run a"
ffmpeg -v error -i "$out/b/v.mp4" -map 0:v -f framemd5 "$out/b.md5" || fail "cannot decode run b"
[ "$(grep -vc '^#' "$out/a.md5")" = 20 ] || fail "framemd5 lists $(grep -vc '^#' "$out/a.md5") frames"
cmp -s "$out/a.md5" "$out/b.md5" || fail "the second run's frames differ"

# The sound track is the soundtrack as the show decodes and hears it, from
# the first frame's moment on: no shift against the show's own decode.
ffmpeg -v error -i "$out/a/v.mp4" -map 0:a -f s16le -ac 2 -ar 44100 "$out/a.raw" || fail "cannot decode the sound"
match=$("$1/soundcheck" match "$1/TrailerLOW.mp3" "$out/a.raw" 60.5) || fail "soundcheck match failed"
echo "$match" | awk '{ lag = $3 + 0; r = $NF + 0; exit !(lag >= -1 && lag <= 1 && r > 0.9) }' ||
  fail "the sound is not the show's: $match"
[ -z "$(others a v.mp4)" ] || fail "left beside the video: $(others a v.mp4)"

# Failures: a folder that does not exist, a renderer that cannot give what is
# asked (after the temporary file exists), an interrupt halfway.
mkdir "$out/c"
"$tool" video "$out/missing/v.mp4" --to 1 >/dev/null 2>"$out/err" && fail "export into a missing folder succeeded"
grep -q "cannot write in the folder $out/missing" "$out/err" || fail "no clear message: $(cat "$out/err")"
"$tool" video "$out/c/v.mp4" --to 1 --msaa 64 >/dev/null 2>"$out/err" && fail "--msaa 64 succeeded"
[ -z "$(others c)" ] || fail "a failed export left $(others c)"

"$tool" video "$out/c/v.mp4" >/dev/null 2>&1 &
pid=$!
# Interrupt once frames are being written (the temporary file has grown).
for _ in $(seq 600); do
  part=$(ls -A "$out/c" | head -1)
  [ -n "$part" ] && [ "$(stat -c %s "$out/c/$part" 2>/dev/null || echo 0)" -gt 0 ] && break
  kill -0 $pid 2>/dev/null || break
  sleep 0.1
done
[ -n "$part" ] || fail "no temporary file appeared"
kill -INT $pid
wait $pid
code=$?
pid=
[ $code -ne 0 ] || fail "an interrupted export exited 0"
[ -z "$(others c)" ] || fail "an interrupted export left $(others c)"

for args in "video" "video v.mp4 --fps 0" "video v.mp4 --size 641x480" "video v.mp4 --size 640" \
            "video v.mp4 --from 3 --to 2" "video v.mp4 --fps"; do
  # shellcheck disable=SC2086
  (cd "$out" && "$tool" $args) >/dev/null 2>&1
  code=$?
  [ $code -eq 2 ] || fail "'$args' exited $code, not 2"
done
echo "PASS"
