#!/usr/bin/env bash
# The page in step with its music: headless Chromium plays the page (from
# 54 s, marks=1) into a null sink of a PulseAudio of its own, while
# velmora-trailer-tool listen records the sink's monitor with the server's
# timing; every mark the page's position crossed must be heard within 30 ms
# of the crossing, and the page's clock agree with its position as closely.
# Generous bounds: a real browser and server on a busy machine.
#   web_sync.sh BUILD_DIR
set -u
build=$(cd "$1" && pwd)
here=$(cd "$(dirname "${BASH_SOURCE[0]}")/../web" && pwd)

grep -q '^TRAILER_\(SANITIZE\|TSAN\):BOOL=ON' "$build/CMakeCache.txt" &&
  { echo "skip: the page is checked with the release build"; exit 77; }
for tool in chromium python3 pulseaudio pactl; do
  command -v "$tool" >/dev/null || { echo "skip: $tool is not installed (make test-deps installs it)"; exit 77; }
done
[ -f "$build/web/index.html" ] || { echo "FAIL: no page in $build/web: make web builds it (make test does)"; exit 1; }

runtime=$(mktemp -d)
chmod 700 "$runtime"
export XDG_RUNTIME_DIR=$runtime
unset SDL_AUDIODRIVER
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null; done
  for pid in "${pids[@]}"; do wait "$pid" 2>/dev/null; done
  rm -rf "$runtime"
}
trap cleanup EXIT

pulseaudio --daemonize=no --exit-idle-time=-1 -n --load="module-null-sink sink_name=testsink" \
  --load="module-native-protocol-unix" --log-target=file:"$runtime/pa.log" >/dev/null 2>&1 &
pids+=($!)
for _ in $(seq 200); do pactl info >/dev/null 2>&1 && break; sleep 0.1; done
pactl info >/dev/null 2>&1 || { echo "FAIL: pulseaudio did not answer within 20 s"; exit 1; }
export PULSE_SERVER=unix:$runtime/pulse/native

port=
for _ in $(seq 20); do
  candidate=$((20000 + RANDOM % 20000))
  python3 -c "import socket; s = socket.socket(); s.bind(('127.0.0.1', $candidate))" 2>/dev/null && { port=$candidate; break; }
done
(cd "$build/web" && exec python3 -m http.server "$port" --bind 127.0.0.1) >/dev/null 2>&1 &
pids+=($!)
for _ in $(seq 50); do
  python3 -c "import urllib.request; urllib.request.urlopen('http://127.0.0.1:$port/index.html')" 2>/dev/null && break
  sleep 0.1
done

: >"$runtime/marks"
"$build/velmora-trailer-tool" listen 22 "$runtime/marks" >"$runtime/listen.out" 2>&1 &
listener=$!
sleep 0.5
python3 - "$here" "http://127.0.0.1:$port/index.html?play=1&marks=1&start=54" "$runtime/marks" <<'PY' || exit 1
import sys, time
sys.path.insert(0, sys.argv[1])
from cdp import Browser
with Browser(autoplay=True) as browser:
    page = browser.open(sys.argv[2], viewport=(640, 480))
    print(page.wait_console("velmora: first frame", timeout=30))
    started = time.monotonic()
    while time.monotonic() - started < 16:
        page.pump(0.5)
    marks = page.lines("velmora: mark")
    open(sys.argv[3], "w").write("\n".join(marks) + "\n")
    print("the page crossed %d marks" % len(marks))
PY
wait $listener || { cat "$runtime/listen.out"; echo "FAIL: listen failed"; exit 1; }
cat "$runtime/listen.out"
awk '
  /^mark / { marks++; offset = $7 + 0; clock = $10 + 0
             if (offset < -30 || offset > 30) { print "mark " $2 ": heard " offset " ms off"; bad = 1 }
             if (clock < -30 || clock > 30) { print "mark " $2 ": the page clock " clock " ms off"; bad = 1 } }
  /not found/ { print "a mark was not heard"; bad = 1 }
  END { if (marks < 10) { print "expected at least 10 marks heard, got " marks; bad = 1 }
        exit bad }' "$runtime/listen.out" || { echo FAIL; exit 1; }
echo PASS
