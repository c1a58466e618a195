#!/usr/bin/env bash
# velmora-trailer-tool texture: writes what LoadTGA read, refuses what it refuses, and
# a 32-bit file gives the same picture as its 24-bit twin (alpha dropped).
set -u
tool="$1/velmora-trailer-tool"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*"; exit 1; }

header() {  # image type, bits per pixel: a 2 x 2 image
  printf "\x00\x00\x$1\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x02\x00\x$2\x00"
}
{ header 02 18; printf '\x00\x00\xff\x00\xff\x00\xff\x00\x00\x10\x20\x30'; } > "$work/rgb.tga"
{ header 02 20; printf '\x00\x00\xff\x80\x00\xff\x00\x80\xff\x00\x00\x80\x10\x20\x30\x80'; } > "$work/rgba.tga"
{ header 0a 18; printf '\x83\x00\x00\xff'; } > "$work/rle.tga"

"$tool" texture "$work/rgb.tga" "$work/rgb.png" > /dev/null || fail "24-bit file not written"
"$tool" texture "$work/rgba.tga" "$work/rgba.png" > /dev/null || fail "32-bit file not written"
cmp -s "$work/rgb.png" "$work/rgba.png" || fail "24-bit and 32-bit pictures differ"

out=$("$tool" texture "$work/rle.tga" "$work/rle.png")
status=$?
[ "$status" -eq 1 ] || fail "RLE file: exit $status, not 1"
[ "$out" = "refused" ] || fail "RLE file: printed '$out'"
[ ! -e "$work/rle.png" ] || fail "RLE file: a picture was written"

out=$("$tool" texture "$work/missing.tga" "$work/missing.png")
[ $? -eq 1 ] && [ "$out" = "refused" ] || fail "missing file not refused"

"$tool" texture "$work/rgb.tga" 2> /dev/null
[ $? -eq 2 ] || fail "missing argument not a usage error"
echo "texture tool: ok"
