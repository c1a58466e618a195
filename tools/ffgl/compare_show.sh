#!/bin/bash
# The whole show through the fixed-function layer against desktop OpenGL, by
# hand (about two minutes; not part of the test suite):
#   bash tools/ffgl/compare_show.sh BUILD [OUT_DIR] [POSITION...]
# For each stream position: the reference frame from `velmora-trailer-tool
# frame`, the same frame through the layer on OpenGL ES 2.0 with the share of
# pixels more than 8 levels off and the largest difference, and the median
# frame time of both paths over 30 frames. Every process starts fresh, as the
# tool does. The PNGs (reference, layer, differences x8) stay in OUT_DIR.
set -euo pipefail
build=$(cd "${1:?usage: compare_show.sh BUILD [OUT_DIR] [POSITION...]}" && pwd)
out=${2:-$build/ffgl-compare}
shift $(( $# >= 2 ? 2 : 1 ))
positions=("$@")
if [ ${#positions[@]} -eq 0 ]; then
  positions=(1000000 2300000 3200000 4300000 5250000 5800000 6091000 6700000 7200000 7900000 8600000 9230000
             9700000 11200000 11700000)
fi
mkdir -p "$out"
cmake --build "$build" --target show-frame-ffgl show-frame-gl >/dev/null
for p in "${positions[@]}"; do
  "$build/velmora-trailer-tool" frame "$p" "$out/real-$p.png" > /dev/null
  real=$("$build/show-frame-gl" "$p" "$out/gl-$p.png" --frames 30 --against "$out/real-$p.png" | tail -1)
  layer=$("$build/show-frame-ffgl" "$p" "$out/layer-$p.png" --frames 30 --against "$out/real-$p.png" \
          --diff "$out/diff-$p.png" | tail -1)
  # show-frame-gl must draw what the tool draws, or its times are of another frame.
  echo "$layer   desktop GL:${real#*frame}"
done
