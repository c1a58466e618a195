#include "tools/generators/datagen/geometry.h"

#include <cmath>

float Dot(Vec3 a, Vec3 b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
Vec3 Cross(Vec3 a, Vec3 b) { return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x}; }
float Length(Vec3 a) { return std::sqrt(Dot(a, a)); }
Vec3 Normalize(Vec3 a) {
  const float l = Length(a);
  return l > 1e-12f ? a * (1.0f / l) : Vec3{0, 1, 0};
}

Pose PoseAt(Vec3 at) {
  Pose p;
  p.at = at;
  return p;
}

static constexpr float kRadPerDeg = 3.14159265358979f / 180.0f;

Pose PoseScaled(float factor) {
  Pose p;
  p.cx = {factor, 0, 0};
  p.cy = {0, factor, 0};
  p.cz = {0, 0, factor};
  return p;
}

Pose PoseRotX(float degrees, Vec3 at) {
  const float c = std::cos(degrees * kRadPerDeg), s = std::sin(degrees * kRadPerDeg);
  Pose p;
  p.cy = {0, c, s};
  p.cz = {0, -s, c};
  p.at = at;
  return p;
}

Pose PoseRotY(float degrees, Vec3 at) {
  const float c = std::cos(degrees * kRadPerDeg), s = std::sin(degrees * kRadPerDeg);
  Pose p;
  p.cx = {c, 0, -s};
  p.cz = {s, 0, c};
  p.at = at;
  return p;
}

Pose PoseRotZ(float degrees, Vec3 at) {
  const float c = std::cos(degrees * kRadPerDeg), s = std::sin(degrees * kRadPerDeg);
  Pose p;
  p.cx = {c, s, 0};
  p.cy = {-s, c, 0};
  p.at = at;
  return p;
}

Pose Compose(const Pose& outer, const Pose& inner) {
  Pose p;
  const Vec3 o{0, 0, 0};
  p.cx = outer.Apply(inner.cx) - outer.Apply(o);
  p.cy = outer.Apply(inner.cy) - outer.Apply(o);
  p.cz = outer.Apply(inner.cz) - outer.Apply(o);
  p.at = outer.Apply(inner.at);
  return p;
}

static bool HasArea(const MeshVertex& a, const MeshVertex& b, const MeshVertex& c) {
  const Vec3 pa{a.x, a.y, a.z}, pb{b.x, b.y, b.z}, pc{c.x, c.y, c.z};
  return Length(Cross(pb - pa, pc - pa)) > 1e-7f;
}

void AddGridTriangles(Mesh& mesh, int ns, int nt, uint32_t first) {
  const auto index = [&](int i, int j) { return first + uint32_t(j * (ns + 1) + i); };
  const auto add = [&](uint32_t a, uint32_t b, uint32_t c) {
    if (HasArea(mesh.vertices[a], mesh.vertices[b], mesh.vertices[c])) mesh.faces.push_back({a, b, c});
  };
  for (int j = 0; j < nt; ++j)
    for (int i = 0; i < ns; ++i) {
      add(index(i, j), index(i + 1, j), index(i + 1, j + 1));
      add(index(i, j), index(i + 1, j + 1), index(i, j + 1));
    }
}

void AddTriangle(Mesh& mesh, const MeshVertex& a, const MeshVertex& b, const MeshVertex& c) {
  if (!HasArea(a, b, c)) return;
  const uint32_t first = uint32_t(mesh.vertices.size());
  mesh.vertices.push_back(a);
  mesh.vertices.push_back(b);
  mesh.vertices.push_back(c);
  mesh.faces.push_back({first, first + 1, first + 2});
}

void AddQuad(Mesh& mesh, Vec3 p0, Vec3 p1, Vec3 p2, Vec3 p3, const float uv[8]) {
  const uint32_t first = uint32_t(mesh.vertices.size());
  const Vec3 p[4] = {p0, p1, p2, p3};
  for (int k = 0; k < 4; ++k) mesh.vertices.push_back({p[k].x, p[k].y, p[k].z, uv[2 * k], uv[2 * k + 1]});
  mesh.faces.push_back({first, first + 1, first + 2});
  mesh.faces.push_back({first, first + 2, first + 3});
}

void Append(Mesh& mesh, const Mesh& part, const Pose& pose) {
  const uint32_t first = uint32_t(mesh.vertices.size());
  for (const MeshVertex& v : part.vertices) {
    const Vec3 p = pose.Apply({v.x, v.y, v.z});
    mesh.vertices.push_back({p.x, p.y, p.z, v.u, v.v});
  }
  for (const auto& f : part.faces) mesh.faces.push_back({first + f[0], first + f[1], first + f[2]});
}

int TriangleCount(const Mesh& mesh) { return int(mesh.faces.size()); }
