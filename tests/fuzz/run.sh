#!/usr/bin/env bash
# Builds the libFuzzer targets (3DS models, TGA textures, MP3 soundtracks)
# with clang under AddressSanitizer and UndefinedBehaviorSanitizer, then runs
# each for a bounded time from a seed corpus written fresh by fuzz_seeds (plus
# what earlier runs kept in the build folder). Fails when a target crashes;
# skips, with a word, without clang.
#
# usage: bash tests/fuzz/run.sh BUILD_DIR [JOBS]
#   FUZZ_SECONDS  seconds per target (default 60)
#   FUZZ_RUNS     executions per target instead of a time (a benchmark run)
#   FUZZ_TARGETS  which targets (default "3ds tga mp3")
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
build=${1:-build-fuzz}
jobs=${2:-2}
seconds=${FUZZ_SECONDS:-60}
runs=${FUZZ_RUNS:-}
read -r -a targets <<<"${FUZZ_TARGETS:-3ds tga mp3}"
case $build in /*) ;; *) build=$PWD/$build ;; esac

if ! command -v clang >/dev/null 2>&1 || ! command -v clang++ >/dev/null 2>&1; then
  echo "fuzz: clang is not installed, so the fuzz targets are skipped (make deps installs it)"
  exit 0
fi
probe=$(mktemp -d)
trap 'rm -rf "$probe"' EXIT
echo 'extern "C" int LLVMFuzzerTestOneInput(const unsigned char*, unsigned long) { return 0; }' >"$probe/probe.cpp"
if ! clang++ -fsanitize=fuzzer,address,undefined "$probe/probe.cpp" -o "$probe/probe" 2>"$probe/log"; then
  echo "fuzz: clang cannot link libFuzzer here (is libclang-rt-dev installed?), so the fuzz targets are skipped"
  sed 's/^/fuzz:   /' "$probe/log" | head -5
  exit 0
fi

mkdir -p "$build"
cmake -S "$root" -B "$build" -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTRAILER_SANITIZE=ON -DTRAILER_FUZZ=ON >"$build/configure.log" 2>&1 ||
  { cat "$build/configure.log"; exit 1; }
cmake --build "$build" -j "$jobs" --target fuzz_3ds fuzz_tga fuzz_mp3 fuzz_seeds

bin=$build/tests/fuzz
work=$build/fuzz-run
rm -rf "$work/seeds" "$work/artifacts"
mkdir -p "$work/artifacts" "$work/corpus/3ds" "$work/corpus/tga" "$work/corpus/mp3"
"$bin/fuzz_seeds" "$work/seeds"

export LIBGL_ALWAYS_SOFTWARE=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1

# run NAME EXTRA_ASAN_OPTIONS: one target, its log in $work/NAME.log
run() {
  local name=$1 asan=$2 dict=() len=()
  [ -f "$root/tests/fuzz/$name.dict" ] && dict=(-dict="$root/tests/fuzz/$name.dict")
  # The MP3 target reads no more than its first 4096 bytes.
  [ "$name" = mp3 ] && len=(-max_len=4096)
  local bound=(-max_total_time="$seconds")
  [ -n "$runs" ] && bound=(-runs="$runs")
  ASAN_OPTIONS=$asan "$bin/fuzz_$name" "${bound[@]}" -timeout=10 -rss_limit_mb=2048 \
    -print_final_stats=1 -artifact_prefix="$work/artifacts/$name-" "${dict[@]}" "${len[@]}" \
    "$work/corpus/$name" "$work/seeds/$name" >"$work/$name.log" 2>&1
}

# Leaks are checked everywhere: the TGA fuzzer keeps its GL context (and so
# its driver) loaded to the end, which leaves nothing unattributable.
# The targets run $jobs at a time.
declare -a pids status
for ((first = 0; first < ${#targets[@]}; first += jobs)); do
  for ((i = first; i < first + jobs && i < ${#targets[@]}; i++)); do
    run "${targets[$i]}" "detect_leaks=1" & pids[$i]=$!
  done
  for ((i = first; i < first + jobs && i < ${#targets[@]}; i++)); do
    if wait "${pids[$i]}"; then status[$i]=0; else status[$i]=$?; fi
  done
done

failed=0
for i in "${!targets[@]}"; do
  name=${targets[$i]}
  executed=$(sed -n 's/^stat::number_of_executed_units: *//p' "$work/$name.log" | tail -1)
  took=$(sed -n 's/^Done [0-9]* runs in \([0-9]*\) second.*/\1/p' "$work/$name.log" | tail -1)
  corpus=$(find "$work/corpus/$name" -type f | wc -l)
  if [ "${status[$i]}" -eq 0 ]; then
    echo "fuzz_$name: clean, ${executed:-?} executions in ${took:-?} s, corpus $corpus inputs"
  else
    failed=1
    echo "fuzz_$name: FAILED (exit ${status[$i]}); log $work/$name.log, inputs in $work/artifacts" >&2
    tail -40 "$work/$name.log" >&2
  fi
done
exit $failed
