#!/usr/bin/env bash
# velmora-trailer-tool frame: writes a 640 x 480 PNG of a moment of the show, and
# refuses bad arguments with a usage line and exit code 2.
set -u
tool="$(cd "$1" && pwd)/velmora-trailer-tool"
# The show loads its models and textures before drawing any frame.
[ -d "$1/Data" ] || { echo "SKIP: no show data in $1/Data"; exit 77; }
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
fail() { echo "FAIL: $*"; exit 1; }

"$tool" frame 0 "$out/f.png" || fail "frame 0 exited $?"
head -c 24 "$out/f.png" | od -An -tx1 | tr -d ' \n' | grep -q '^89504e470d0a1a0a0000000d49484452000002800000' \
  || fail "not a 640-wide PNG"
head -c 24 "$out/f.png" | od -An -tx1 | tr -d ' \n' | grep -q '000001e0$' || fail "not 480 rows high"

"$tool" frame 150500 "$out/g.png" --time 2000 || fail "frame with --time exited $?"

for args in "frame" "frame 0" "frame -1 x.png" "frame 12abc x.png" "frame 4294967296 x.png" \
            "frame 0 x.png --time" "frame 0 x.png --time soon" "frame 0 x.png --speed 3" "nonsense"; do
  # shellcheck disable=SC2086
  "$tool" $args 2>"$out/err" && fail "'$args' succeeded"
  code=$?
  [ $code -eq 2 ] || fail "'$args' exited $code, not 2"
  grep -q '^usage: ' "$out/err" || fail "'$args' printed no usage line"
done
echo "PASS"
