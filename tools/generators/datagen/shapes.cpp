#include "tools/generators/datagen/shapes.h"

#include <cmath>

static constexpr float kPi = 3.14159265358979f;

static float Lerp(float a, float b, float t) { return a + (b - a) * t; }

void AddEllipsoid(Mesh& mesh, Vec3 centre, Vec3 r, int around, int rings, UVRect uv) {
  AddPatch(mesh, around, rings, [&](float s, float t) {
    const float lon = (s - 0.5f) * 2.0f * kPi;  // 0 at the front (+z)
    const float lat = (t - 0.5f) * kPi;
    const Vec3 p{r.x * std::cos(lat) * std::sin(lon), r.y * std::sin(lat), r.z * std::cos(lat) * std::cos(lon)};
    return PatchPoint{centre + p, Lerp(uv.u0, uv.u1, s), Lerp(uv.v0, uv.v1, t)};
  });
}

void AddLathe(Mesh& mesh, Vec3 centre, const std::vector<ProfilePoint>& profile, int around, UVRect uv,
              float depth, float uRepeat) {
  // Texture v follows the length of the profile, so bands keep their size.
  std::vector<float> along(profile.size(), 0.0f);
  for (size_t k = 1; k < profile.size(); ++k)
    along[k] = along[k - 1] + std::hypot(profile[k].r - profile[k - 1].r, profile[k].y - profile[k - 1].y);
  const float total = along.back() > 0 ? along.back() : 1.0f;
  const int nt = int(profile.size()) - 1;
  AddPatch(mesh, around, nt, [&](float s, float t) {
    const int k = int(std::lround(t * float(nt)));
    const float a = (s - 0.5f) * 2.0f * kPi;
    const Vec3 p{profile[k].r * std::sin(a), profile[k].y, profile[k].r * depth * std::cos(a)};
    return PatchPoint{centre + p, uv.u0 + (uv.u1 - uv.u0) * s * uRepeat, Lerp(uv.v0, uv.v1, along[k] / total)};
  });
}

void AddTube(Mesh& mesh, const std::vector<TubePoint>& input, int around, UVRect uv, bool caps, float flatten) {
  if (input.size() < 2) return;
  std::vector<TubePoint> path;
  const Vec3 head = Normalize(input[1].p - input[0].p);
  const Vec3 tail = Normalize(input.back().p - input[input.size() - 2].p);
  // Rounded ends: quarter circles of rings before the first and after the last point.
  const float capAngles[3] = {0.0f, 0.6f, 1.1f};
  if (caps)
    for (float a : capAngles) path.push_back({input[0].p - head * (input[0].r * std::cos(a)), input[0].r * std::sin(a)});
  path.insert(path.end(), input.begin(), input.end());
  if (caps)
    for (int k = 2; k >= 0; --k) {
      const float a = capAngles[k];
      path.push_back({input.back().p + tail * (input.back().r * std::cos(a)), input.back().r * std::sin(a)});
    }

  // Frames carried along the path so that the tube does not twist.
  const size_t n = path.size();
  std::vector<Vec3> tangent(n), normal(n), binormal(n);
  for (size_t k = 0; k < n; ++k) {
    const Vec3 a = path[k > 0 ? k - 1 : 0].p, b = path[k + 1 < n ? k + 1 : n - 1].p;
    tangent[k] = Normalize(b - a);
  }
  Vec3 seed = std::fabs(tangent[0].y) < 0.9f ? Vec3{0, 1, 0} : Vec3{0, 0, 1};
  for (size_t k = 0; k < n; ++k) {
    const Vec3 ref = k == 0 ? seed : normal[k - 1];
    normal[k] = Normalize(ref - tangent[k] * Dot(ref, tangent[k]));
    binormal[k] = Cross(tangent[k], normal[k]);
  }
  std::vector<float> along(n, 0.0f);
  for (size_t k = 1; k < n; ++k) along[k] = along[k - 1] + Length(path[k].p - path[k - 1].p);
  const float total = along.back() > 0 ? along.back() : 1.0f;
  const int nt = int(n) - 1;
  AddPatch(mesh, around, nt, [&](float s, float t) {
    const int k = int(std::lround(t * float(nt)));
    const float a = s * 2.0f * kPi;
    const Vec3 p = path[k].p + normal[k] * (path[k].r * std::cos(a)) + binormal[k] * (path[k].r * flatten * std::sin(a));
    return PatchPoint{p, Lerp(uv.u0, uv.u1, s), Lerp(uv.v0, uv.v1, along[k] / total)};
  });
}

void AddBox(Mesh& mesh, Vec3 lo, Vec3 hi, UVRect uv, float tile) {
  const Vec3 c[8] = {{lo.x, lo.y, lo.z}, {hi.x, lo.y, lo.z}, {hi.x, hi.y, lo.z}, {lo.x, hi.y, lo.z},
                     {lo.x, lo.y, hi.z}, {hi.x, lo.y, hi.z}, {hi.x, hi.y, hi.z}, {lo.x, hi.y, hi.z}};
  // Faces counter-clockwise from outside: front, back, right, left, top, bottom.
  const int q[6][4] = {{4, 5, 6, 7}, {1, 0, 3, 2}, {5, 1, 2, 6}, {0, 4, 7, 3}, {7, 6, 2, 3}, {0, 1, 5, 4}};
  for (const auto& f : q) {
    const Vec3 e1 = c[f[1]] - c[f[0]], e2 = c[f[3]] - c[f[0]];
    float su = 1, sv = 1;
    if (tile > 0) {
      su = Length(e1) / tile;
      sv = Length(e2) / tile;
    }
    float uvs[8];
    const float cornerS[4] = {0, 1, 1, 0}, cornerT[4] = {0, 0, 1, 1};
    for (int k = 0; k < 4; ++k) {
      if (tile > 0) {
        // Tiled faces keep world-aligned texture so neighbouring blocks line up.
        const Vec3 p = c[f[k]];
        const bool horizontal = std::fabs(e1.y) < 1e-6f && std::fabs(e2.y) < 1e-6f;
        const float a = horizontal ? p.x : (std::fabs(e1.x) > std::fabs(e1.z) ? p.x : p.z);
        const float b = horizontal ? p.z : p.y;
        uvs[2 * k] = uv.u0 + a / tile;
        uvs[2 * k + 1] = uv.v0 + b / tile;
      } else {
        uvs[2 * k] = Lerp(uv.u0, uv.u1, cornerS[k] * su);
        uvs[2 * k + 1] = Lerp(uv.v0, uv.v1, cornerT[k] * sv);
      }
    }
    AddQuad(mesh, c[f[0]], c[f[1]], c[f[2]], c[f[3]], uvs);
  }
}
