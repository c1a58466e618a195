// Building blocks for the models: closed surfaces with outward faces, each
// mapped onto one region of its model's texture.
#pragma once

#include "tools/generators/datagen/geometry.h"

#include <vector>

// Ellipsoid with radii r around `centre`: s runs once round (from the back,
// through +x, the front +z, to -x), t from the bottom pole to the top one.
void AddEllipsoid(Mesh& mesh, Vec3 centre, Vec3 r, int around, int rings, UVRect uv);

// Surface of revolution about the y axis through `centre`: profile points
// (radius, height) from the bottom up; depth scales the z radius.
struct ProfilePoint {
  float r, y;
};
void AddLathe(Mesh& mesh, Vec3 centre, const std::vector<ProfilePoint>& profile, int around, UVRect uv,
              float depth = 1.0f, float uRepeat = 1.0f);

// A round tube through the given points with a radius per point, closed at
// both ends by rounded caps (a limb, a finger, a pipe).
struct TubePoint {
  Vec3 p;
  float r;
};
void AddTube(Mesh& mesh, const std::vector<TubePoint>& path, int around, UVRect uv, bool caps = true,
             float flatten = 1.0f);

// Axis-aligned box from lo to hi; every face tiled at `tile` model units per
// texture repeat (0: each face takes the whole region `uv`).
void AddBox(Mesh& mesh, Vec3 lo, Vec3 hi, UVRect uv, float tile = 0.0f);
