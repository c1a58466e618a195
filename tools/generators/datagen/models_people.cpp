// The figures, the two heads and the hand.
#include "tools/generators/datagen/models.h"
#include "tools/generators/datagen/shapes.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr float kPi = 3.14159265358979f;
float Rad(float degrees) { return degrees * kPi / 180.0f; }
float Smooth(float e0, float e1, float x) {
  const float t = std::clamp((x - e0) / (e1 - e0), 0.0f, 1.0f);
  return t * t * (3 - 2 * t);
}
float Bump(float d, float width) { return std::exp(-(d * d) / (width * width)); }

// A patch of an ellipsoid between two longitudes and latitudes (degrees,
// longitude 0 at the front), for hair that leaves the face free.
void AddShell(Mesh& mesh, Vec3 c, Vec3 r, float lon0, float lon1, float lat0, float lat1, int ns, int nt, UVRect uv) {
  AddPatch(mesh, ns, nt, [&](float s, float t) {
    const float lon = Rad(lon0 + (lon1 - lon0) * s), lat = Rad(lat0 + (lat1 - lat0) * t);
    const Vec3 p{r.x * std::cos(lat) * std::sin(lon), r.y * std::sin(lat), r.z * std::cos(lat) * std::cos(lon)};
    return PatchPoint{c + p, uv.u0 + (uv.u1 - uv.u0) * s, uv.v0 + (uv.v1 - uv.v0) * t};
  });
}

// Head, neck and face: the head square of the atlas is painted for the
// ellipsoid mapping (face at its horizontal middle).
void AddHead(Mesh& m, float y, float scale) {
  AddEllipsoid(m, {0, y, 0.1f * scale}, Vec3{1.4f, 1.75f, 1.55f} * scale, 16, 12, atlas::kHead);
  AddTube(m, {{{0, y - 2.7f * scale, -0.1f}, 0.62f * scale}, {{0, y - 1.2f * scale, 0}, 0.58f * scale}}, 8,
          atlas::kSkin, false);
}

struct Limb {
  Vec3 a, b, c;  // shoulder or hip, elbow or knee, wrist or ankle
  float ra, rb, rc;
};

// One tube where the limb is all skin or all cloth; a sleeve and an arm
// where they differ.
void AddLimb(Mesh& m, const Limb& l, UVRect upper, UVRect lower) {
  const Vec3 mid1 = (l.a + l.b) * 0.5f, mid2 = (l.b + l.c) * 0.5f;
  const TubePoint a{l.a, l.ra}, m1{mid1, (l.ra + l.rb) * 0.5f}, b{l.b, l.rb}, m2{mid2, (l.rb + l.rc) * 0.5f}, c{l.c, l.rc};
  if (upper.u0 == lower.u0 && upper.v0 == lower.v0) {
    AddTube(m, {a, m1, b, m2, c}, 8, upper);
    return;
  }
  AddTube(m, {a, m1, b}, 8, upper);
  AddTube(m, {b, m2, c}, 8, lower);
}

void AddHandBlob(Mesh& m, Vec3 wrist, Vec3 dir) {
  const Vec3 d = Normalize(dir);
  AddTube(m, {{wrist + d * 0.25f, 0.42f}, {wrist + d * 0.8f, 0.45f}, {wrist + d * 1.2f, 0.3f}}, 6, atlas::kSkin, true,
          0.6f);
}

void AddShoes(Mesh& m, float hipX) {
  for (float side : {-1.0f, 1.0f})
    AddEllipsoid(m, {side * hipX, 0.45f, 0.35f}, {0.5f, 0.45f, 0.95f}, 8, 5, atlas::kShoes);
}

}  // namespace

// Feet at y = 0, 24 units tall, facing +z; figures stand at the model's origin.
Mesh BuildNena1() {
  Mesh m;
  AddHead(m, 21.6f, 1.0f);
  // Hair: back and sides, a fringe on top, and a long fall down the back.
  AddShell(m, {0, 21.9f, -0.05f}, {1.62f, 1.95f, 1.8f}, 62, 298, -45, 88, 12, 8, atlas::kHair);
  AddShell(m, {0, 21.9f, -0.05f}, {1.62f, 1.95f, 1.8f}, -62, 62, 38, 88, 8, 3, atlas::kHair);
  AddTube(m, {{{0, 21.6f, -1.1f}, 1.55f}, {{0, 19.0f, -1.35f}, 1.5f}, {{0, 16.2f, -1.2f}, 1.1f}}, 10, atlas::kHair,
          true, 0.45f);
  // Bodice and a long flared skirt, one cloth.
  AddLathe(m, {0, 0, 0}, {{3.9f, 4.0f}, {3.2f, 7.5f}, {2.3f, 11.0f}, {1.55f, 13.6f}, {1.7f, 15.5f}, {2.05f, 17.2f},
                          {1.9f, 18.6f}, {0.9f, 19.3f}, {0.55f, 19.5f}},
           18, {0.0f, 0.0f, 1.0f, 0.75f}, 0.7f);
  // Puffed sleeves, bare arms, hands at rest.
  for (float side : {-1.0f, 1.0f}) {
    AddEllipsoid(m, {side * 2.05f, 18.3f, 0}, {0.85f, 0.95f, 0.8f}, 8, 6, atlas::kCloth);
    const Limb arm{{side * 2.2f, 18.1f, 0}, {side * 2.85f, 14.8f, 0.2f}, {side * 3.1f, 11.9f, 0.5f}, 0.5f, 0.42f, 0.33f};
    AddLimb(m, arm, atlas::kSkin, atlas::kSkin);
    AddHandBlob(m, arm.c, arm.c - arm.b);
    const Limb leg{{side * 0.7f, 6.5f, 0}, {side * 0.75f, 3.5f, 0.05f}, {side * 0.8f, 0.9f, 0}, 0.55f, 0.45f, 0.36f};
    AddLimb(m, leg, atlas::kSkin, atlas::kSkin);
  }
  AddShoes(m, 0.8f);
  return m;
}

// Shifted to the left, so that her passes along the title path and her walk
// towards the viewer at the right-hand side stay inside the picture.
Mesh BuildNena2() {
  Mesh m;
  AddHead(m, 21.6f, 1.0f);
  // Hair gathered into a bun.
  AddShell(m, {0, 21.85f, -0.05f}, {1.58f, 1.9f, 1.75f}, 65, 295, -25, 88, 12, 7, atlas::kHair);
  AddShell(m, {0, 21.85f, -0.05f}, {1.58f, 1.9f, 1.75f}, -65, 65, 45, 88, 8, 3, atlas::kHair);
  AddEllipsoid(m, {0, 23.3f, -1.3f}, {1.05f, 1.0f, 1.0f}, 10, 6, atlas::kHair);
  // Knee-length dress with a wide hem.
  AddLathe(m, {0, 0, 0}, {{3.3f, 8.0f}, {2.6f, 10.5f}, {1.6f, 13.5f}, {1.75f, 15.5f}, {2.1f, 17.2f}, {1.95f, 18.6f},
                          {0.9f, 19.3f}, {0.55f, 19.5f}},
           18, {0.0f, 0.05f, 1.0f, 0.7f}, 0.72f);
  // Right arm raised and waving, left hand on the hip.
  const Limb wave{{2.2f, 18.2f, 0}, {3.9f, 20.3f, 0.3f}, {3.6f, 23.2f, 0.6f}, 0.5f, 0.42f, 0.33f};
  AddLimb(m, wave, atlas::kCloth, atlas::kSkin);
  AddHandBlob(m, wave.c, wave.c - wave.b);
  const Limb hip{{-2.2f, 18.1f, 0}, {-3.6f, 15.4f, -0.2f}, {-1.9f, 13.6f, 0.4f}, 0.5f, 0.42f, 0.33f};
  AddLimb(m, hip, atlas::kCloth, atlas::kSkin);
  AddHandBlob(m, hip.c, hip.c - hip.b);
  for (float side : {-1.0f, 1.0f}) {
    const Limb leg{{side * 0.75f, 8.5f, 0}, {side * 0.8f, 4.5f, 0.05f}, {side * 0.85f, 0.9f, 0}, 0.58f, 0.46f, 0.36f};
    AddLimb(m, leg, atlas::kSkin, atlas::kSkin);
  }
  AddShoes(m, 0.85f);
  Mesh shifted;
  Append(shifted, m, PoseAt({-17.0f, 0, 0}));
  return shifted;
}

// Shifted to the right, mirroring Nena2: his path is the mirrored one.
Mesh BuildTio1() {
  Mesh m;
  AddHead(m, 21.9f, 1.03f);
  AddShell(m, {0, 22.25f, -0.1f}, {1.55f, 1.85f, 1.72f}, 75, 285, -5, 88, 12, 6, atlas::kHair);
  AddShell(m, {0, 22.25f, -0.1f}, {1.55f, 1.85f, 1.72f}, -75, 75, 50, 88, 8, 3, atlas::kHair);
  // Jacket from the hips to the collar.
  AddLathe(m, {0, 0, 0}, {{2.15f, 10.8f}, {2.1f, 12.5f}, {2.2f, 15.0f}, {2.55f, 17.4f}, {2.45f, 18.9f}, {1.2f, 19.6f},
                          {0.7f, 19.8f}},
           18, atlas::kCloth, 0.68f);
  for (float side : {-1.0f, 1.0f}) {
    const Limb arm{{side * 2.55f, 18.4f, 0}, {side * 3.2f, 14.9f, 0.1f}, {side * 3.35f, 11.5f, 0.5f}, 0.72f, 0.62f, 0.5f};
    AddLimb(m, arm, atlas::kCloth, atlas::kCloth);
    AddHandBlob(m, arm.c, arm.c - arm.b);
    const Limb leg{{side * 0.95f, 11.5f, 0}, {side * 1.0f, 6.0f, 0.1f}, {side * 1.0f, 1.0f, 0}, 0.98f, 0.82f, 0.66f};
    AddLimb(m, leg, atlas::kCloth2, atlas::kCloth2);
  }
  AddShoes(m, 1.0f);
  Mesh shifted;
  Append(shifted, m, PoseAt({17.0f, 0, 0}));
  return shifted;
}

// The close-up heads: 4 units in radius around the origin, facing +z, with
// nose, brow, lips, chin and ears shaped into a deformed ellipsoid; a neck
// below. The texture is painted for this mapping (longitude across, latitude up).
static Mesh BuildHeadModel(bool woman) {
  Mesh m;
  const float R = 4.0f;
  const int around = 36, rings = 29;
  AddPatch(m, around, rings, [&](float s, float t) {
    const float x = 2 * t - 1;
    const float latDeg = 90.0f * x * (0.5f + 0.5f * x * x);  // rings packed round the face
    const float lonDeg = (s - 0.5f) * 360.0f;
    const float lat = Rad(latDeg), lon = Rad(lonDeg);
    float rx = 0.8f, ry = 1.0f, rz = 0.95f;
    // Face tapers to the chin, and the jaw sits back from the brow.
    rx *= 1.0f - 0.25f * Smooth(-10, -55, latDeg);
    rz *= 1.0f - 0.1f * Smooth(-5, -45, latDeg);
    float k = 1.0f;
    const float dl = std::fabs(lonDeg);
    // Nose: a ridge from the brow down to the tip, then back under it.
    const float noseLen = woman ? 0.19f : 0.25f;
    const float ridge = latDeg > -12 ? Smooth(11, -12, latDeg) : Smooth(-18, -12, latDeg);
    k += noseLen * ridge * Bump(dl, woman ? 8.5f : 10.0f);
    k += 0.06f * Bump(latDeg - 14, 5) * Bump(dl, 38);                          // brow
    k -= 0.05f * Bump(latDeg - 3, 5) * Bump(dl - 27, 10);                      // eye sockets
    k += (woman ? 0.07f : 0.045f) * Bump(latDeg + 24, 4.0f) * Bump(dl, 15);   // lips
    k += 0.07f * Bump(latDeg + 36, 6) * Bump(dl, 22);                          // chin
    k += 0.13f * Bump(latDeg - 2, 12) * Bump(dl - 90, 9);                      // ears
    // Hair has volume: a crown on top, and for her a fall down the back.
    k += (woman ? 0.1f : 0.05f) * Smooth(28, 55, latDeg);
    if (woman) k += 0.16f * Smooth(80, 130, dl) * Smooth(-70, -25, latDeg) + 0.08f * Smooth(75, 120, dl);
    Vec3 p{R * rx * k * std::cos(lat) * std::sin(lon), R * ry * k * std::sin(lat), R * rz * k * std::cos(lat) * std::cos(lon)};
    // Below the jaw the surface turns into the neck.
    const float neck = Smooth(-44, -72, latDeg);
    if (neck > 0) {
      const float hairFall = woman ? Smooth(95, 140, dl) : 0.0f;
      const float nr = R * (woman ? 0.4f : 0.48f) * (1.0f + 0.5f * hairFall);
      const Vec3 q{nr * std::sin(lon), -R * (0.85f + 1.1f * Smooth(-50, -90, latDeg)), nr * std::cos(lon) - R * 0.15f};
      p = p + (q - p) * neck;
    }
    return PatchPoint{p, s, t};
  });
  return m;
}

Mesh BuildCaraTio1() { return BuildHeadModel(false); }
Mesh BuildCaraTia1() { return BuildHeadModel(true); }

// A right hand, palm towards +z, fingers up, the origin in the palm; the
// forearm wears the jacket's sleeve.
Mesh BuildMano1() {
  Mesh m;
  AddEllipsoid(m, {0, 0, 0}, {4.3f, 5.2f, 1.55f}, 22, 14, atlas::kSkin);
  struct Finger {
    float x, len, r, spread;
  };
  const Finger fingers[4] = {{-3.2f, 7.6f, 0.95f, 9}, {-1.05f, 8.8f, 1.0f, 3}, {1.1f, 8.3f, 0.97f, -3},
                             {3.15f, 6.4f, 0.82f, -10}};
  for (const Finger& f : fingers) {
    std::vector<TubePoint> pts;
    Vec3 p{f.x, 4.2f, 0.1f};
    float pitch = 0;  // curls towards the palm, +z
    const float seg[3] = {0.42f, 0.33f, 0.25f};
    pts.push_back({p, f.r});
    for (int k = 0; k < 3; ++k) {
      pitch += 11.0f;
      const Vec3 dir{std::sin(Rad(-f.spread)) * std::cos(Rad(pitch)), std::cos(Rad(f.spread)) * std::cos(Rad(pitch)),
                     std::sin(Rad(pitch))};
      const Vec3 mid = p + dir * (f.len * seg[k] * 0.5f);
      p = p + dir * (f.len * seg[k]);
      pts.push_back({mid, f.r * (1.0f - 0.1f * float(k) - 0.03f)});
      pts.push_back({p, f.r * (0.92f - 0.12f * float(k))});
    }
    AddTube(m, pts, 10, atlas::kSkin, true, 0.85f);
  }
  // Thumb out to the side, towards the palm.
  AddTube(m, {{{-3.3f, -2.0f, 0.6f}, 1.35f}, {{-5.2f, 0.4f, 1.3f}, 1.15f}, {{-6.6f, 2.6f, 1.9f}, 1.0f},
              {{-7.4f, 4.6f, 2.3f}, 0.85f}},
          10, atlas::kSkin, true, 0.85f);
  // Wrist and forearm, then the sleeve's cuff.
  AddTube(m, {{{0, -3.5f, 0}, 2.6f}, {{0, -7.0f, 0}, 2.2f}, {{0, -10.0f, 0}, 2.35f}}, 12, atlas::kSkin, true, 0.75f);
  AddTube(m, {{{0, -9.0f, 0}, 3.0f}, {{0, -12.5f, 0}, 3.15f}, {{0, -16.0f, 0}, 3.25f}}, 14, atlas::kCloth, true, 0.85f);
  // A quarter larger than life-size for a figure, so it fills the scene.
  Mesh hand;
  Append(hand, m, PoseScaled(1.25f));
  return hand;
}
