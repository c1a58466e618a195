#!/usr/bin/env bash
# velmora-trailer-tool model against another program's reading of the same files:
# assimp writes .3ds models from .obj files, and the face count and the
# bounds of the raw mesh positions in its dump must match what the tool
# reports. The comparison is skipped (77) where assimp is not installed.
# usage: model_tool.sh BUILD_DIR
set -euo pipefail
tool=$1/velmora-trailer-tool
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

# A missing file: the loader's message, exit code 1.
status=0
out=$("$tool" model "$work/none.3ds") || status=$?
[ "$status" -eq 1 ] || fail "missing file gave exit code $status"
grep -qF " 3DS Loader error: File $work/none.3ds not found!" <<<"$out" || fail "no loader message: $out"

if ! command -v assimp >/dev/null 2>&1; then
  echo "assimp is not installed (assimp-utils): the comparison is skipped"
  exit 77
fi

# A wedge with a roof, off-centre, and a sphere of 16 x 9 bands.
cat >"$work/wedge.obj" <<'OBJ'
v 1 2 3
v 4 2 3
v 4 5 3
v 1 5 3
v 1 2 -1.5
v 4 2 -1.5
v 2.5 3.5 7.25
vt 0 0
vt 1 0
vt 1 1
vt 0 1
f 1/1 2/2 3/3
f 1/1 3/3 4/4
f 5/1 6/2 2/3
f 5/1 2/3 1/4
f 1/1 2/2 7/3
f 2/2 3/3 7/3
f 3/3 4/4 7/3
f 4/4 1/1 7/3
OBJ
awk 'BEGIN {
  pi = 3.14159265358979; slices = 16; stacks = 9
  for (i = 0; i <= stacks; i++) for (j = 0; j < slices; j++) {
    t = pi * i / stacks; p = 2 * pi * j / slices
    printf "v %.6f %.6f %.6f\n", 2 + 3 * sin(t) * cos(p), -1 + 3 * sin(t) * sin(p), 0.5 + 3 * cos(t)
  }
  for (i = 0; i < stacks; i++) for (j = 0; j < slices; j++) {
    a = i * slices + j + 1; b = i * slices + (j + 1) % slices + 1; c = a + slices; d = b + slices
    if (i > 0) printf "f %d %d %d\n", a, b, d
    if (i < stacks - 1) printf "f %d %d %d\n", a, d, c
  }
}' >"$work/sphere.obj"

for model in wedge sphere; do
  assimp export "$work/$model.obj" "$work/$model.3ds" >/dev/null
  assimp dump "$work/$model.3ds" "$work/$model.xml" -xml >/dev/null
  expected=$(awk '
    /<FaceList num=/ { match($0, /num="[0-9]+"/); faces += substr($0, RSTART + 5, RLENGTH - 6) }
    /<Positions/ { inside = 1; next }
    /<\/Positions>/ { inside = 0 }
    inside { for (k = 1; k <= 3; k++) { if (!seen || $k < lo[k]) lo[k] = $k; if (!seen || $k > hi[k]) hi[k] = $k } seen = 1 }
    END { printf "%d %.4f %.4f %.4f %.4f %.4f %.4f\n", faces, lo[1], lo[2], lo[3], hi[1], hi[2], hi[3] }' "$work/$model.xml")
  reported=$("$tool" model "$work/$model.3ds" | awk '
    $1 == "triangles" { n = $2 }
    $1 == "bounds" { b = sprintf("%.4f %.4f %.4f %.4f %.4f %.4f", $2, $3, $4, $5, $6, $7) }
    END { print n, b }')
  echo "$model: assimp $expected, velmora-trailer-tool $reported"
  [ "$expected" = "$reported" ] || fail "$model: velmora-trailer-tool disagrees with assimp"
done
echo "velmora-trailer-tool model agrees with assimp"
