# Shared by the end-to-end desktop tests (sourced, not run): screenshots of
# the running show checked by what they show, and the show's reference frames
# drawn by velmora-trailer-tool. Needs ImageMagick (import, convert, compare).
#
# A picture is judged at 32x24 pixels (the whole composition, not the
# details that move from one frame to the next): it shows the scene of its
# moment when it is closer to a frame of that moment than to black and to
# frames of every other scene.

# Folders and files of one run; removed on exit by the caller's trap.
work=$(mktemp -d)
convert=/usr/bin/convert  # ImageMagick's, whatever else PATH holds

skip_without() {
  for tool in "$@"; do
    command -v "$tool" >/dev/null 2>&1 || { echo "SKIP: $tool is not installed"; exit 77; }
  done
}

# Gray statistics of a region WxH+X+Y of an image, 0 to 1: "mean" or "maxima".
region() {
  "$convert" "$1" -crop "$2" +repage -colorspace Gray -format "%[fx:$3]" info:
}

# True when $1 <= $2 (decimals).
at_most() { awk -v a="$1" -v b="$2" 'BEGIN { exit !(a <= b) }'; }

# Reference frames for a show started at START seconds and looked at in the
# SPAN seconds after (loading takes some), and decoys: black and other scenes.
make_references() {
  local build=$1 start=$2 span=$3 s
  mkdir -p "$work/ref"
  for s in $(seq 1 2 "$span"); do
    "$build/velmora-trailer-tool" frame $(((start + s) * 88200)) "$work/ref/moment_$s.png" >/dev/null 2>&1 || return 1
  done
  for s in 65 86 100 116; do
    "$build/velmora-trailer-tool" frame $((s * 88200)) "$work/ref/decoy_$s.png" >/dev/null 2>&1 || return 1
  done
  "$convert" -size 640x480 xc:black "$work/ref/decoy_black.png"
  for s in "$work"/ref/*.png; do "$convert" "$s" -resize '32x24!' "$s"; done
}

# Prints "NAME DISTANCE" of the reference closest to the region WxH+X+Y of a
# screenshot.
closest_reference() {
  local small="$work/small.png" best="" bestDistance=9 reference distance
  "$convert" "$1" -crop "$2" +repage -resize '32x24!' "$small"
  for reference in "$work"/ref/*.png; do
    distance=$(compare -metric RMSE "$small" "$reference" null: 2>&1 | sed -n 's/.*(\(.*\)).*/\1/p')
    [ -n "$distance" ] || continue
    if awk -v a="$distance" -v b="$bestDistance" 'BEGIN { exit !(a < b) }'; then
      best=$(basename "$reference" .png)
      bestDistance=$distance
    fi
  done
  echo "$best $bestDistance"
}

# True when the region shows the show's moment: closest to one of its frames,
# and close enough.
shows_moment() {
  local verdict
  verdict=$(closest_reference "$1" "$2")
  echo "$verdict" >"$work/verdict"
  case $verdict in
    moment_*) at_most "${verdict#* }" 0.25 ;;
    *) return 1 ;;
  esac
}

# Full screen on a WIDTHxHEIGHT screen: a 4:3 picture centred at full height,
# black bars left and right, the picture that of the moment.
check_fullscreen_shot() {
  local shot=$1 width=$2 height=$3
  local picture=$((height * 4 / 3)) bar=$(((width - height * 4 / 3) / 2))
  local left right
  left=$(region "$shot" "${bar}x${height}+0+0" maxima)
  right=$(region "$shot" "${bar}x${height}+$((bar + picture))+0" maxima)
  shows_moment "$shot" "${picture}x${height}+${bar}+0" || {
    echo "picture at ${bar}..$((bar + picture)): not the moment ($(cat "$work/verdict"))"
    return 1
  }
  at_most "$left" 0.03 && at_most "$right" 0.03 || {
    echo "bars not black: left brightest $left, right brightest $right"
    return 1
  }
  echo "full screen: ${picture}x${height} picture at x=$bar shows $(cat "$work/verdict"), bars' brightest $left / $right"
}

# CPU used by process PID over SECONDS, in percent of one core.
cpu_percent() {
  local pid=$1 seconds=$2 before after
  before=$(awk '{ print $14 + $15 }' "/proc/$pid/stat")
  sleep "$seconds"
  after=$(awk '{ print $14 + $15 }' "/proc/$pid/stat")
  awk -v d=$((after - before)) -v hz="$(getconf CLK_TCK)" -v s="$seconds" 'BEGIN { printf "%.1f", 100 * d / hz / s }'
}
