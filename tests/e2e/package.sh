#!/usr/bin/env bash
# The Debian package as a user's system meets it: built from this build with
# CPack, lintian finds no error in it, its desktop entry and metainfo
# validate and name what it installs, its manual page renders without a
# warning and lists the options --help lists; installed with dpkg into a
# scratch root, the show runs its last seconds by its desktop entry's command
# and the tool draws a frame from /; removed, it leaves nothing behind.
# A check whose tool is missing is skipped with a word; the rest still run.
set -u
build=$(cd "$1" && pwd)
[ -d "$build/Data" ] || { echo "SKIP: no show data in $build/Data"; exit 77; }
grep -q '^TRAILER_\(SANITIZE\|TSAN\):BOOL=ON' "$build/CMakeCache.txt" &&
  { echo "SKIP: a sanitizer build is not what the package ships"; exit 77; }
[ -f "$build/CPackConfig.cmake" ] || { echo "FAIL: no package configuration (CPackConfig.cmake) in $build"; exit 1; }
for tool in cpack dpkg dpkg-deb dpkg-shlibdeps; do
  command -v $tool >/dev/null 2>&1 || { echo "SKIP: $tool is not installed"; exit 77; }
done
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*"; exit 1; }
skip_check() { echo "skipped: $1 is not installed"; }
have() { command -v "$1" >/dev/null 2>&1; }

(cd "$work" && cpack -G DEB --config "$build/CPackConfig.cmake" -B "$work/out") >"$work/cpack.log" 2>&1 ||
  fail "cpack: $(tail -5 "$work/cpack.log")"
deb=$(ls "$work"/out/velmora-trailer_*.deb 2>/dev/null | head -1)
[ -n "$deb" ] || fail "cpack made no velmora-trailer package: $(tail -5 "$work/cpack.log")"
echo "$(basename "$deb"): $(stat -c %s "$deb") bytes; $(dpkg-deb -f "$deb" Depends | sed 's/^/Depends: /')"
dpkg-deb -f "$deb" Depends | grep -q 'libsdl2' || fail "Depends names no SDL: dpkg-shlibdeps did not run"

if have lintian; then
  lintian --fail-on error --info "$deb" >"$work/lintian.log" 2>&1
  code=$?
  cat "$work/lintian.log"
  [ $code -eq 0 ] || fail "lintian found errors (exit $code)"
  echo "lintian: no errors"
else
  skip_check lintian
fi

# Installed into a scratch root with its own, empty dpkg database; every
# file, whatever a slimmed system's dpkg.cfg.d leaves out (manual pages).
root=$work/root
mkdir -p "$root/var/lib/dpkg/info" "$root/var/lib/dpkg/updates"
touch "$root/var/lib/dpkg/status" "$root/var/lib/dpkg/available"
dpkg --root="$root" --force-depends --force-script-chrootless --path-include='*' -i "$deb" >"$work/dpkg.log" 2>&1 ||
  fail "dpkg -i: $(tail -5 "$work/dpkg.log")"
dpkg --root="$root" -L velmora-trailer >"$work/files" || fail "dpkg -L knows no velmora-trailer"
for file in /usr/bin/velmora-trailer /usr/bin/velmora-trailer-tool /usr/share/velmora-trailer/TrailerLOW.mp3 \
  /usr/share/velmora-trailer/Data/Nena1.3DS /usr/share/man/man6/velmora-trailer.6.gz \
  /usr/share/doc/velmora-trailer/copyright; do
  grep -qx "$file" "$work/files" && [ -f "$root$file" ] || fail "$file is not installed"
done

desktop=$(ls "$root"/usr/share/applications/*.desktop)
icon=$(sed -n 's/^Icon=//p' "$desktop")
ls "$root/usr/share/icons/hicolor/"*/apps/"$icon".* >/dev/null 2>&1 || fail "no icon $icon in the hicolor theme"
if have desktop-file-validate; then
  desktop-file-validate "$desktop" || fail "desktop-file-validate: $(desktop-file-validate "$desktop")"
  echo "desktop-file-validate: clean"
else
  skip_check desktop-file-validate
fi
if have appstreamcli; then
  # The metainfo, and the desktop entry it launches, as installed.
  appstreamcli validate-tree --no-net "$root" >"$work/appstream.log" 2>&1 ||
    fail "appstreamcli: $(cat "$work/appstream.log")"
  echo "appstreamcli validate-tree --no-net: clean"
else
  skip_check appstreamcli
fi

page=$root/usr/share/man/man6/velmora-trailer.6.gz
if have man; then
  warnings=$(MANWIDTH=80 man --warnings -E UTF-8 -l "$page" 2>&1 >"$work/page.txt")
  [ -z "$warnings" ] || fail "man -l warns: $warnings"
  # Every option of --help is in the page's synopsis, and no other.
  "$root/usr/bin/velmora-trailer" --help >"$work/help.txt" || fail "--help exited non-zero"
  grep -o -- '--[a-z-]*' "$work/help.txt" | sort -u >"$work/help.options"
  sed -n '/^SYNOPSIS/,/^DESCRIPTION/p' "$work/page.txt" | grep -o -- '--[a-z-]*' | sort -u >"$work/page.options"
  diff "$work/help.options" "$work/page.options" >"$work/options.diff" ||
    fail "--help (<) and the manual page (>) list different options: $(cat "$work/options.diff")"
  echo "man -l: no warnings, the options of --help: $(tr '\n' ' ' <"$work/help.options")"
else
  skip_check man
fi

# The desktop entry's command, found on PATH in the scratch root, from /.
command=$(sed -n 's/^Exec=//p' "$desktop")
cd /
PATH=$root/usr/bin:$PATH SDL_VIDEODRIVER=offscreen SDL_AUDIODRIVER=dummy timeout 120 $command --start 131 \
  >/dev/null 2>"$work/err"
code=$?
[ $code -eq 0 ] || fail "'$command --start 131' exited with $code: $(cat "$work/err")"
"$root/usr/bin/velmora-trailer-tool" frame 7200000 "$work/frame.png" >/dev/null 2>"$work/err" ||
  fail "the installed tool drew no frame from /: $(cat "$work/err")"
[ "$(head -c 8 "$work/frame.png" | od -An -tx1 | tr -d ' ')" = 89504e470d0a1a0a ] || fail "the frame is no PNG"
echo "installed: '$command --start 131' exit 0 and the tool's frame, both from /"

dpkg --root="$root" -r velmora-trailer >"$work/dpkg.log" 2>&1 || fail "dpkg -r: $(tail -5 "$work/dpkg.log")"
left=$(cd "$root" && find . -path ./var/lib/dpkg -prune -o ! -type d -print)
[ -z "$left" ] || fail "left after removal: $left"
while read -r file; do
  [ "$file" = /. ] || [ ! -e "$root$file" ] || [ -d "$root$file" ] || fail "$file is still there after removal"
done <"$work/files"
echo "removed: nothing of its $(wc -l <"$work/files") paths left"
echo PASS
