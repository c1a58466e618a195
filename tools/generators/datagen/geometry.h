// Meshes as the generator builds them: indexed triangles with one texture
// coordinate per vertex (as a 3DS mapping list stores them), y up, the front
// of a figure towards +z, in the file's model units.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

struct Vec3 {
  float x, y, z;
};
inline Vec3 operator+(Vec3 a, Vec3 b) { return {a.x + b.x, a.y + b.y, a.z + b.z}; }
inline Vec3 operator-(Vec3 a, Vec3 b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
inline Vec3 operator*(Vec3 a, float s) { return {a.x * s, a.y * s, a.z * s}; }
float Dot(Vec3 a, Vec3 b);
Vec3 Cross(Vec3 a, Vec3 b);
float Length(Vec3 a);
Vec3 Normalize(Vec3 a);

// Rotation (columns are the images of x, y, z) followed by a translation.
struct Pose {
  Vec3 cx{1, 0, 0}, cy{0, 1, 0}, cz{0, 0, 1};
  Vec3 at{0, 0, 0};
  Vec3 Apply(Vec3 p) const { return cx * p.x + cy * p.y + cz * p.z + at; }
};
Pose PoseAt(Vec3 at);
Pose PoseScaled(float factor);  // uniform, about the origin
Pose PoseRotX(float degrees, Vec3 at = {0, 0, 0});
Pose PoseRotY(float degrees, Vec3 at = {0, 0, 0});
Pose PoseRotZ(float degrees, Vec3 at = {0, 0, 0});
Pose Compose(const Pose& outer, const Pose& inner);  // inner first

struct MeshVertex {
  float x, y, z, u, v;
};

struct Mesh {
  std::vector<MeshVertex> vertices;
  std::vector<std::array<uint32_t, 3>> faces;  // counter-clockwise seen from outside
};

// A region of a texture atlas: parameters (s, t) in [0, 1] land on
// u = u0 + s (u1 - u0), v = v0 + t (v1 - v0).
struct UVRect {
  float u0, v0, u1, v1;
};
constexpr UVRect kWholeTexture{0, 0, 1, 1};

// A parametric patch: position and texture coordinates for (s, t) in [0, 1].
// The grid's triangles face the side that d/ds x d/dt points to.
struct PatchPoint {
  Vec3 p;
  float u, v;
};
template <typename F>
void AddPatch(Mesh& mesh, int ns, int nt, F&& at);
void AddTriangle(Mesh& mesh, const MeshVertex& a, const MeshVertex& b, const MeshVertex& c);
// p0..p3 counter-clockwise seen from the front; uv per corner.
void AddQuad(Mesh& mesh, Vec3 p0, Vec3 p1, Vec3 p2, Vec3 p3, const float uv[8]);
void Append(Mesh& mesh, const Mesh& part, const Pose& pose);
int TriangleCount(const Mesh& mesh);

// Drops triangles with no area, which a grid makes at poles and tips.
void AddGridTriangles(Mesh& mesh, int ns, int nt, uint32_t first);

template <typename F>
void AddPatch(Mesh& mesh, int ns, int nt, F&& at) {
  const uint32_t first = uint32_t(mesh.vertices.size());
  for (int j = 0; j <= nt; ++j)
    for (int i = 0; i <= ns; ++i) {
      const PatchPoint q = at(float(i) / float(ns), float(j) / float(nt));
      mesh.vertices.push_back({q.p.x, q.p.y, q.p.z, q.u, q.v});
    }
  AddGridTriangles(mesh, ns, nt, first);
}
