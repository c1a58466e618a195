// The sky sphere, the flyer, the castle and the credits' shapes.
#include "tools/generators/datagen/models.h"
#include "tools/generators/datagen/shapes.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace {

constexpr float kPi = 3.14159265358979f;

// A lifting surface (wing, stabiliser or fin): an elliptic section of half
// chord `chord` and half thickness `thick`, swept from root to tip.
struct Section {
  Vec3 centre;
  float chord, thick;
};

// Wings span along x (section in the y-z plane); fins span along y (section
// in the x-z plane). `flip` keeps the faces outward when the span runs the
// other way round.
void AddSurface(Mesh& m, Section root, Section tip, bool vertical, bool flip, int around, int spans, UVRect uv) {
  AddPatch(m, around, spans, [&](float s, float t) {
    const float a = (flip ? -1.0f : 1.0f) * s * 2.0f * kPi;
    const Vec3 c = root.centre + (tip.centre - root.centre) * t;
    const float chord = root.chord + (tip.chord - root.chord) * t;
    // Thin towards the trailing edge (+z is forward).
    const float thick = (root.thick + (tip.thick - root.thick) * t) * (0.65f + 0.35f * std::cos(a));
    // Rounded at the tip so that the surface closes.
    const float close = std::sqrt(std::max(0.0f, 1.0f - std::pow(std::max(0.0f, t * 1.08f - 0.08f), 8.0f)));
    const Vec3 off = vertical ? Vec3{thick * close * std::sin(a), 0, chord * std::cos(a)}
                              : Vec3{0, thick * close * std::sin(a), chord * std::cos(a)};
    return PatchPoint{c + off, uv.u0 + (uv.u1 - uv.u0) * s, uv.v0 + (uv.v1 - uv.v0) * t};
  });
}

}  // namespace

// Radius 100: from the title's eye, 10 units off centre, it fills every
// direction and stays inside the far plane; the castle draws it at 0.1 and
// 0.2 as cloud layers of radius 10 and 20 round its courtyard.
Mesh BuildGalaxy() {
  Mesh m;
  AddEllipsoid(m, {0, 0, 0}, {100, 100, 100}, 32, 14, {0, 0, atlas::kSkyRepeats, atlas::kSkyTop});
  return m;
}

// Nose towards +z, 35 units long, 36 across the wings; lifted 4.6 units so that
// at the flight scene's 0.1 it sits near the middle of the fixed view.
Mesh BuildFly() {
  Mesh m;
  Mesh body;
  // Fuselage along y, turned onto z below.
  AddLathe(body, {0, 0, 0}, {{0.0f, -15.4f}, {1.3f, -15.0f}, {1.9f, -12.0f}, {2.4f, -7.0f}, {2.6f, -1.0f},
                             {2.45f, 4.0f}, {2.0f, 8.5f}, {1.3f, 11.8f}, {0.55f, 14.2f}, {0.0f, 15.3f}},
           20, atlas::kHull, 0.85f);
  Append(m, body, PoseRotX(90.0f, {0, 4.0f, 0}));
  AddEllipsoid(m, {0, 5.9f, 4.5f}, {1.35f, 1.35f, 4.2f}, 14, 10, atlas::kGlass);
  // Swept wings, stabilisers and the fin.
  for (float side : {-1.0f, 1.0f}) {
    AddSurface(m, {{side * 1.8f, 3.4f, -2.5f}, 6.5f, 0.75f}, {{side * 15.5f, 4.4f, -9.0f}, 2.2f, 0.22f}, false,
               side > 0, 14, 7, atlas::kWing);
    AddSurface(m, {{side * 1.4f, 4.6f, -12.8f}, 2.4f, 0.35f}, {{side * 6.0f, 5.0f, -15.0f}, 1.1f, 0.12f}, false,
               side > 0, 10, 3, atlas::kFin);
    // Engine pods under the wings, their glowing nozzles at the back.
    Mesh pod;
    AddLathe(pod, {0, 0, 0}, {{0.0f, -6.2f}, {1.0f, -6.0f}, {1.2f, -4.5f}, {1.25f, 0.0f}, {1.1f, 3.0f},
                              {0.8f, 3.6f}, {0.0f, 3.7f}},
             14, atlas::kEngine);
    Append(m, pod, PoseRotX(90.0f, {side * 6.2f, 2.6f, -5.5f}));
  }
  AddSurface(m, {{0, 5.6f, -11.8f}, 3.0f, 0.4f}, {{0, 11.0f, -15.2f}, 1.3f, 0.15f}, true, false, 10, 4, atlas::kFin);
  // A little larger, for the flight's circling camera.
  Mesh fly;
  Append(fly, m, PoseScaled(1.15f));
  return fly;
}

// The castle, in file units (the scene draws it at 0.1, so 10 here is one
// world unit). Its camera flies inside x -50..86, z -23..11 at heights 1..62
// and always looks at the courtyard's middle near (10, 0, 0), so the yard is
// round that point: a ring of walls and towers of radius 84 round (13, 5),
// inside the inner cloud layer (radius 100 round (0, 11)), with the houses
// kept north and south of the camera's lane.
namespace castle {
constexpr float kGround = -3.5f;
constexpr float kCentreX = 13.0f, kCentreZ = 5.0f, kRingRadius = 84.0f;
constexpr int kSides = 12;
constexpr float kWallTop = 24.0f, kWallThick = 5.0f;
constexpr float kTowerRadius = 8.5f, kTowerTop = 40.0f;
constexpr float kStoneTile = 14.0f;  // file units per repeat of the stone texture
Vec3 RingPoint(int k, float radius) {
  const float a = 2.0f * kPi * float(k) / float(kSides) + kPi / float(kSides);
  return {kCentreX + radius * std::cos(a), 0, kCentreZ + radius * std::sin(a)};
}
}  // namespace castle

// A vertical slab between two ground points, tiled with stone.
static void AddWall(Mesh& m, Vec3 a, Vec3 b, float y0, float y1, float thick, float tile) {
  const Vec3 along = Normalize(b - a);
  const Vec3 side = Vec3{-along.z, 0, along.x} * (thick * 0.5f);
  const float len = Length(b - a);
  const auto face = [&](Vec3 p0, Vec3 p1, float ya, float yb) {
    const float uv[8] = {0, ya / tile, len / tile, ya / tile, len / tile, yb / tile, 0, yb / tile};
    AddQuad(m, {p0.x, ya, p0.z}, {p1.x, ya, p1.z}, {p1.x, yb, p1.z}, {p0.x, yb, p0.z}, uv);
  };
  face(a - side, b - side, y0, y1);
  face(b + side, a + side, y0, y1);
  const Vec3 c[4] = {a - side, b - side, b + side, a + side};
  const float top[8] = {0, 0, len / tile, 0, len / tile, thick / tile, 0, thick / tile};
  AddQuad(m, {c[0].x, y1, c[0].z}, {c[3].x, y1, c[3].z}, {c[2].x, y1, c[2].z}, {c[1].x, y1, c[1].z}, top);
}

// Merlons along a line: solid teeth with gaps, tiled with stone.
static void AddMerlons(Mesh& m, Vec3 a, Vec3 b, float y, float height, float thick, float tile, int count) {
  const Vec3 d = b - a;
  for (int k = 0; k < count; ++k) {
    const float t0 = (float(k) + 0.2f) / float(count), t1 = (float(k) + 0.75f) / float(count);
    AddWall(m, a + d * t0, a + d * t1, y, y + height, thick, tile);
  }
}

Mesh BuildCastle1() {
  using namespace castle;
  Mesh m;
  for (int k = 0; k < kSides; ++k) {
    const Vec3 a = RingPoint(k, kRingRadius), b = RingPoint(k + 1, kRingRadius);
    AddWall(m, a, b, kGround, kWallTop, kWallThick, kStoneTile);
    AddMerlons(m, a, b, kWallTop, 3.5f, kWallThick, kStoneTile, 6);
  }
  // Round towers on every other corner, with a crown of merlons.
  for (int k = 0; k < kSides; k += 2) {
    const Vec3 c = RingPoint(k, kRingRadius);
    const float around = 2 * kPi * kTowerRadius / kStoneTile;
    AddLathe(m, {c.x, 0, c.z}, {{kTowerRadius + 1.0f, kGround}, {kTowerRadius, 6.0f}, {kTowerRadius, kTowerTop - 4},
                                {kTowerRadius + 1.2f, kTowerTop - 2}, {kTowerRadius + 1.2f, kTowerTop}},
             14, {0, 0, 1, 44.0f / kStoneTile}, 1.0f, around);
    for (int j = 0; j < 8; ++j) {
      const float a0 = 2 * kPi * (float(j) + 0.15f) / 8.0f, a1 = 2 * kPi * (float(j) + 0.6f) / 8.0f;
      const float r = kTowerRadius + 0.6f;
      AddWall(m, {c.x + r * std::cos(a0), 0, c.z + r * std::sin(a0)}, {c.x + r * std::cos(a1), 0, c.z + r * std::sin(a1)},
              kTowerTop, kTowerTop + 3.5f, 2.0f, kStoneTile);
    }
  }
  // The fountain the camera keeps looking at: a basin, a column and a bowl.
  const float fx = 10.0f, fz = 0.0f;
  AddLathe(m, {fx, 0, fz}, {{0.0f, kGround}, {9.0f, kGround}, {9.0f, 1.2f}, {8.0f, 1.4f}, {7.6f, 0.2f}, {0.0f, 0.2f}},
           16, {0, 0, 1, 1}, 1.0f, 4.0f);
  AddLathe(m, {fx, 0, fz}, {{0.0f, 0.2f}, {1.6f, 0.2f}, {1.2f, 4.0f}, {1.3f, 7.0f}, {4.0f, 8.2f}, {4.3f, 9.2f},
                            {3.4f, 9.0f}, {0.0f, 8.8f}},
           12, {0, 0, 1, 1}, 1.0f, 2.0f);
  // A paved square round it.
  AddPatch(m, 16, 2, [&](float s, float t) {
    const float a = 2 * kPi * s, r = 32.0f * t;
    const float x = fx + r * std::cos(a), z = fz + r * std::sin(a);
    return PatchPoint{{x, kGround + 0.3f, z}, x / 12.0f, z / 12.0f};
  });
  // Four stone pillars round the square, lanterns of the yard.
  const float px[4] = {-22.0f, 40.0f, -20.0f, 44.0f}, pz[4] = {-16.0f, -20.0f, 18.0f, 16.0f};
  for (int k = 0; k < 4; ++k) {
    AddBox(m, {px[k] - 1.2f, kGround, pz[k] - 1.2f}, {px[k] + 1.2f, 11.0f, pz[k] + 1.2f}, {0, 0, 1, 1}, kStoneTile);
    AddBox(m, {px[k] - 1.8f, 11.0f, pz[k] - 1.8f}, {px[k] + 1.8f, 12.5f, pz[k] + 1.8f}, {0, 0, 1, 1}, kStoneTile);
  }
  return m;
}

// Ground: a grid fine enough for per-vertex fog, tiled every 20 units.
Mesh BuildCastle2() {
  Mesh m;
  const float x0 = -95, x1 = 115, z0 = -95, z1 = 110;
  AddPatch(m, 18, 18, [&](float s, float t) {
    const float x = x0 + (x1 - x0) * s, z = z1 + (z0 - z1) * t;  // s x t points up
    return PatchPoint{{x, castle::kGround, z}, x / 20.0f, z / 20.0f};
  });
  return m;
}

// A brick house with a gabled roof: front and back walls take the facades,
// the gables the window facade, the roof its tiles.
static void AddHouse(Mesh& m, Vec3 c, float w, float d, float h, float roof, bool faceNorth, bool door) {
  const float x0 = c.x - w / 2, x1 = c.x + w / 2, z0 = c.z - d / 2, z1 = c.z + d / 2, y0 = castle::kGround, y1 = y0 + h;
  const UVRect front = door ? atlas::kDoorFront : atlas::kWindowFront;
  const UVRect back = atlas::kWindowFront;
  const auto rect = [](UVRect r, float v1scale) {
    return std::array<float, 8>{r.u0, r.v0, r.u1, r.v0, r.u1, r.v0 + (r.v1 - r.v0) * v1scale, r.u0,
                                r.v0 + (r.v1 - r.v0) * v1scale};
  };
  const auto f = rect(faceNorth ? back : front, 1), b = rect(faceNorth ? front : back, 1);
  AddQuad(m, {x0, y0, z1}, {x1, y0, z1}, {x1, y1, z1}, {x0, y1, z1}, f.data());  // +z side
  AddQuad(m, {x1, y0, z0}, {x0, y0, z0}, {x0, y1, z0}, {x1, y1, z0}, b.data());  // -z side
  // Gable ends (x sides) with their triangles.
  const UVRect g = atlas::kWindowFront;
  const float gu[8] = {g.u0, g.v0, g.u0 + 0.5f * (g.u1 - g.u0), g.v0, g.u0 + 0.5f * (g.u1 - g.u0), g.v1 * 0.8f,
                       g.u0, g.v1 * 0.8f};
  AddQuad(m, {x1, y0, z1}, {x1, y0, z0}, {x1, y1, z0}, {x1, y1, z1}, gu);
  AddQuad(m, {x0, y0, z0}, {x0, y0, z1}, {x0, y1, z1}, {x0, y1, z0}, gu);
  const float gv = g.v1 * 0.8f;
  AddTriangle(m, {x1, y1, z1, g.u0, gv}, {x1, y1, z0, g.u0 + 0.25f, gv}, {x1, y1 + roof, c.z, g.u0 + 0.125f, g.v1});
  AddTriangle(m, {x0, y1, z0, g.u0, gv}, {x0, y1, z1, g.u0 + 0.25f, gv}, {x0, y1 + roof, c.z, g.u0 + 0.125f, g.v1});
  // Roof slopes overhanging a little.
  const float o = 1.2f, r = atlas::kRoof.v0, rt = atlas::kRoof.v1, ur = w / 16.0f;
  const float slope[8] = {0, r, ur, r, ur, rt, 0, rt};
  AddQuad(m, {x0 - o, y1 - 0.8f, z1 + o}, {x1 + o, y1 - 0.8f, z1 + o}, {x1 + o, y1 + roof, c.z}, {x0 - o, y1 + roof, c.z}, slope);
  AddQuad(m, {x1 + o, y1 - 0.8f, z0 - o}, {x0 - o, y1 - 0.8f, z0 - o}, {x0 - o, y1 + roof, c.z}, {x1 + o, y1 + roof, c.z}, slope);
  // A chimney.
  AddBox(m, {x1 - w * 0.3f, y1, c.z + d * 0.1f}, {x1 - w * 0.3f + 2.2f, y1 + roof + 3.0f, c.z + d * 0.1f + 2.2f},
         {0.05f, 0.05f, 0.2f, 0.2f});
}

Mesh BuildCastle3() {
  using namespace castle;
  Mesh m;
  // North row (z > 25) faces south, south row (z < -35) faces north: both
  // show their doors to the yard.
  AddHouse(m, {-32, 0, 40}, 20, 15, 15, 10, false, true);
  AddHouse(m, {-6, 0, 44}, 18, 14, 17, 9, false, false);
  AddHouse(m, {22, 0, 42}, 22, 15, 14, 10, false, true);
  AddHouse(m, {50, 0, 36}, 18, 14, 16, 9, false, false);
  AddHouse(m, {-26, 0, -46}, 20, 15, 16, 10, true, false);
  AddHouse(m, {2, 0, -50}, 22, 15, 14, 10, true, true);
  AddHouse(m, {30, 0, -47}, 18, 14, 17, 9, true, false);
  AddHouse(m, {56, 0, -38}, 16, 13, 14, 8, true, true);
  // Chapel at the west end of the yard, gable towards the fountain.
  AddHouse(m, {-62, 0, 6}, 16, 26, 24, 14, false, true);
  // Conical tiled roofs on the towers.
  for (int k = 0; k < kSides; k += 2) {
    const Vec3 c = RingPoint(k, kRingRadius);
    AddLathe(m, {c.x, 0, c.z}, {{kTowerRadius + 2.5f, kTowerTop + 1.0f}, {kTowerRadius * 0.5f, kTowerTop + 11.0f},
                                {0.0f, kTowerTop + 20.0f}},
             14, atlas::kRoof, 1.0f, 3.0f);
  }
  return m;
}

// The credits' cage: six tubes twisting a quarter turn between two rings,
// radius 1 and height 4 round the origin; the scene stretches its copies.
Mesh BuildGreet1() {
  Mesh m;
  const int bars = 6, steps = 10;
  for (int b = 0; b < bars; ++b) {
    std::vector<TubePoint> pts;
    for (int k = 0; k <= steps; ++k) {
      const float t = float(k) / float(steps);
      const float a = 2 * kPi * float(b) / float(bars) + t * kPi * 0.5f;
      const float r = 1.0f - 0.12f * std::sin(t * kPi);
      pts.push_back({{r * std::cos(a), -2.0f + 4.0f * t, r * std::sin(a)}, 0.05f});
    }
    AddTube(m, pts, 6, {0.0f, 0.05f, 1.0f, 0.7f}, true);
  }
  for (float y : {-2.0f, 2.0f}) {
    std::vector<TubePoint> ring;
    for (int k = 0; k <= 24; ++k) {
      const float a = 2 * kPi * float(k) / 24.0f;
      ring.push_back({{std::cos(a), y, std::sin(a)}, 0.07f});
    }
    AddTube(m, ring, 6, {0.0f, 0.1f, 1.0f, 0.6f}, false);
  }
  return m;
}

// A ball of radius 0.72 (the two hang 1.6 apart): the credit image wraps twice round it.
Mesh BuildBolah8() {
  Mesh m;
  AddEllipsoid(m, {0, 0, 0}, {0.72f, 0.72f, 0.72f}, 24, 14, {0, 0, 2, 1});
  return m;
}
