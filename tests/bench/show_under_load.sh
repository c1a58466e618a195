#!/bin/bash
# The real show under load, through a sound server: a private PulseAudio with
# a null sink, the show in a 640x480 window on Xvfb rendering as fast as it
# is let, four busy loops and a video export beside it. Says how often the
# show's stream ran dry (the server's log and the show's own count) and how
# much CPU the show took.
#   show_under_load.sh BUILD_DIR [START_SECONDS] [SHOW_BINARY] [quiet]
# START_SECONDS: where the show starts (0: the whole show). SHOW_BINARY: the
# show to run (default BUILD_DIR/velmora-trailer), for comparing builds. quiet: no
# busy loops and no export (the show's own CPU use).
set -u
build=$(cd "$1" && pwd)
start=${2:-0}
show=${3:-$build/velmora-trailer}
load=${4:-load}
for tool in pulseaudio pactl xvfb-run; do
  command -v "$tool" >/dev/null || { echo "needs $tool"; exit 1; }
done

runtime=$(mktemp -d)
chmod 700 "$runtime"
export XDG_RUNTIME_DIR=$runtime
unset PULSE_SERVER SDL_AUDIODRIVER
pulseaudio --daemonize=no --exit-idle-time=-1 -n -vvvv --log-time=1 \
  --load="module-null-sink sink_name=testsink" --load="module-native-protocol-unix" \
  --log-target=file:"$runtime/pa.log" >/dev/null 2>&1 &
server=$!
busy=()
cleanup() {
  for pid in "${busy[@]}"; do kill "$pid" 2>/dev/null; done
  kill "$server" 2>/dev/null
  wait 2>/dev/null
  rm -rf "$runtime"
}
trap cleanup EXIT
for _ in $(seq 100); do pactl info >/dev/null 2>&1 && break; sleep 0.1; done

if [ "$load" != quiet ]; then
  for _ in 1 2 3 4; do
    bash -c 'while :; do :; done' &
    busy+=($!)
  done
  "$build/velmora-trailer-tool" video "$runtime/export.mp4" >/dev/null 2>&1 &
  busy+=($!)
fi

cat >"$runtime/run.sh" <<'EOF'
show=$1 start=$2 runtime=$3
cd "$(dirname "$show")"
began=$(date +%s%N)
"$show" --window --start "$start" >/dev/null 2>"$runtime/show.err" &
pid=$!
ticks=0
while kill -0 "$pid" 2>/dev/null; do
  ticks=$(awk '{ print $14 + $15 }' "/proc/$pid/stat" 2>/dev/null || echo "$ticks")
  sleep 0.5
done
wait "$pid"
echo "status $?"
ended=$(date +%s%N)
awk -v t="$ticks" -v hz="$(getconf CLK_TCK)" -v ns=$((ended - began)) \
  'BEGIN { printf "cpu %.0f %% of one core over %.1f s\n", 100 * t / hz / (ns / 1e9), ns / 1e9 }'
EOF
xvfb-run -a -s "-screen 0 1024x768x24" bash "$runtime/run.sh" "$show" "$start" "$runtime"
echo "underruns in the server's log: $(grep -c 'Implicit underrun of .Soundtrack' "$runtime/pa.log")"
grep -h 'velmora-trailer:' "$runtime/show.err"
