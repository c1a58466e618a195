#!/usr/bin/env bash
# The page (make web) in Debian's headless Chromium, served on localhost by
# Python's http.server: held moments of every scene against the tool's
# frames, the browser's decode of the soundtrack against the show's, a
# viewer's own folder with a broken model or without its soundtrack, and
# Escape (tests/web/page_checks.py).
#   web_page.sh BUILD_DIR
set -u
build=$(cd "$1" && pwd)
here=$(cd "$(dirname "${BASH_SOURCE[0]}")/../web" && pwd)

grep -q '^TRAILER_\(SANITIZE\|TSAN\):BOOL=ON' "$build/CMakeCache.txt" &&
  { echo "skip: the page is checked with the release build"; exit 77; }
for tool in chromium python3; do
  command -v "$tool" >/dev/null || { echo "skip: $tool is not installed (make test-deps installs it)"; exit 77; }
done
[ -f "$build/web/index.html" ] || { echo "FAIL: no page in $build/web: make web builds it (make test does)"; exit 1; }

# A port of our own: the first free one from a random start.
port=
for _ in $(seq 20); do
  candidate=$((20000 + RANDOM % 20000))
  python3 -c "import socket; s = socket.socket(); s.bind(('127.0.0.1', $candidate))" 2>/dev/null && { port=$candidate; break; }
done
[ -n "$port" ] || { echo "FAIL: no free port for the page's server"; exit 1; }
(cd "$build/web" && exec python3 -m http.server "$port" --bind 127.0.0.1) >/dev/null 2>&1 &
server=$!
trap 'kill $server 2>/dev/null; wait $server 2>/dev/null' EXIT
for _ in $(seq 50); do
  python3 -c "import urllib.request; urllib.request.urlopen('http://127.0.0.1:$port/index.html')" 2>/dev/null && break
  sleep 0.1
done

python3 "$here/page_checks.py" "$build" "http://127.0.0.1:$port/index.html"
