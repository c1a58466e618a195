#!/usr/bin/env bash
# The installed show: `cmake --install` into a fresh prefix puts the show, the
# tool, the soundtrack, Data, a desktop entry and an icon there, and both
# programs find their data when started from another folder.
set -u
build=$(cd "$1" && pwd)
[ -d "$build/Data" ] || { echo "SKIP: no show data in $build/Data"; exit 77; }
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT
fail() { echo "FAIL: $*"; exit 1; }

cmake --install "$build" --prefix "$prefix" >"$prefix/install.log" || fail "cmake --install: $(tail -3 "$prefix/install.log")"
for file in bin/velmora-trailer bin/velmora-trailer-tool share/velmora-trailer/TrailerLOW.mp3 share/velmora-trailer/Data/Nena1.3DS \
  share/applications/one.velmora.trailer.desktop share/icons/hicolor/scalable/apps/one.velmora.trailer.svg; do
  [ -f "$prefix/$file" ] || fail "$file was not installed"
done
grep -qx 'Exec=velmora-trailer' "$prefix/share/applications/one.velmora.trailer.desktop" || fail "the desktop entry does not start velmora-trailer"

cd /
"$prefix/bin/velmora-trailer-tool" frame 7200000 "$prefix/frame.png" >/dev/null || fail "the installed velmora-trailer-tool drew no frame"
[ -s "$prefix/frame.png" ] || fail "no frame written"
# The last second of the show, headless: it loads its data, plays and ends by itself.
SDL_VIDEODRIVER=offscreen SDL_AUDIODRIVER=dummy timeout 120 "$prefix/bin/velmora-trailer" --window --start 132 >/dev/null 2>"$prefix/err"
code=$?
[ $code -eq 0 ] || fail "the installed show exited with $code: $(cat "$prefix/err")"
echo "PASS: installed under $prefix; from / the tool drew a frame and the show played its end, exit 0"
