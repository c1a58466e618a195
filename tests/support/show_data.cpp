#include "tests/support/show_data.h"

#include <cstring>
#include <string>

const char* const kShowModelFiles[13] = {
    "Data\\Nena1.3DS",    "Data\\Nena2.3DS",    "Data\\Galaxy.3DS",   "Data\\Tio1.3DS",
    "Data\\CaraTio1.3DS", "Data\\CaraTia1.3DS", "Data\\Mano1.3ds",    "Data\\Fly.3ds",
    "Data\\Castle1.3ds",  "Data\\Castle2.3ds",  "Data\\Castle3.3ds",  "Data\\Greet1.3ds",
    "Data\\Bolah8.3ds"};

const char* const kShowTextureFiles[14] = {
    "Data\\Nena1.tga",   "Data\\Galaxy.tga",  "Data\\Tio1.tga",  "Data\\caratio1.tga", "Data\\caratia1.tga",
    "Data\\pincho1.tga", "Data\\Fly.tga",     "Data\\piedrah.tga", "Data\\Ground1.tga", "Data\\cloud1.tga",
    "Data\\brick1.tga",  "Data\\Credit1.tga", "Data\\code.tga",  "Data\\visual.tga"};

// A chunk: id, then its size including the 6-byte header, then the payload.
static std::vector<uint8_t> Chunk(unsigned id, const std::vector<uint8_t>& payload) {
  std::vector<uint8_t> chunk;
  PutU16(chunk, id);
  PutU32(chunk, uint32_t(payload.size() + 6));
  chunk.insert(chunk.end(), payload.begin(), payload.end());
  return chunk;
}

static void Append(std::vector<uint8_t>& out, const std::vector<uint8_t>& more) {
  out.insert(out.end(), more.begin(), more.end());
}

std::vector<uint8_t> Make3DS(const std::vector<ModelVertex>& vertices,
                             const std::vector<std::array<uint16_t, 3>>& faces) {
  std::vector<uint8_t> vertexList, faceList, mappingList;
  PutU16(vertexList, unsigned(vertices.size()));
  PutU16(mappingList, unsigned(vertices.size()));
  for (const ModelVertex& v : vertices) {
    PutF32(vertexList, v.x), PutF32(vertexList, v.y), PutF32(vertexList, v.z);
    PutF32(mappingList, v.u), PutF32(mappingList, v.v);
  }
  PutU16(faceList, unsigned(faces.size()));
  for (const auto& f : faces) PutU16(faceList, f[0]), PutU16(faceList, f[1]), PutU16(faceList, f[2]), PutU16(faceList, 0);

  std::vector<uint8_t> triMesh;
  Append(triMesh, Chunk(0x4110, vertexList));
  Append(triMesh, Chunk(0x4120, faceList));
  Append(triMesh, Chunk(0x4140, mappingList));
  std::vector<uint8_t> block = {'o', 'b', 'j', 0};
  Append(block, Chunk(0x4100, triMesh));
  return Chunk(0x4D4D, Chunk(0x3D3D, Chunk(0x4000, block)));
}

std::vector<uint8_t> Make3DSCube(float h) {
  std::vector<ModelVertex> vertices;
  std::vector<std::array<uint16_t, 3>> faces;
  // Each face: a corner, and the two edge directions spanning it.
  const float faceCorners[6][3][3] = {
      {{-h, -h, h}, {2 * h, 0, 0}, {0, 2 * h, 0}},   {{h, -h, -h}, {-2 * h, 0, 0}, {0, 2 * h, 0}},
      {{h, -h, h}, {0, 0, -2 * h}, {0, 2 * h, 0}},   {{-h, -h, -h}, {0, 0, 2 * h}, {0, 2 * h, 0}},
      {{-h, h, h}, {2 * h, 0, 0}, {0, 0, -2 * h}},   {{-h, -h, -h}, {2 * h, 0, 0}, {0, 0, 2 * h}}};
  for (const auto& f : faceCorners) {
    const uint16_t base = uint16_t(vertices.size());
    for (int corner = 0; corner < 4; ++corner) {
      const float s = (corner == 1 || corner == 2) ? 1.0f : 0.0f;
      const float t = (corner >= 2) ? 1.0f : 0.0f;
      vertices.push_back({f[0][0] + s * f[1][0] + t * f[2][0], f[0][1] + s * f[1][1] + t * f[2][1],
                          f[0][2] + s * f[1][2] + t * f[2][2], s, t});
    }
    faces.push_back({base, uint16_t(base + 1), uint16_t(base + 2)});
    faces.push_back({base, uint16_t(base + 2), uint16_t(base + 3)});
  }
  return Make3DS(vertices, faces);
}

Rgb ShowDataColour(const char* textureName) {
  for (int i = 0; i < 14; ++i)
    if (std::strcmp(textureName, kShowTextureFiles[i]) == 0)
      return {40 + 15 * i, 200 - 10 * i, 60 + (37 * i) % 180};
  return {0, 0, 0};
}

static std::string LinuxName(const char* windowsName) {
  std::string name(windowsName);
  for (char& c : name)
    if (c == '\\') c = '/';
  return name;
}

void WriteTinyShowData(const ScratchDir& dir) {
  for (const char* model : kShowModelFiles) dir.Write(LinuxName(model), Make3DSCube(1.0f));
  for (const char* texture : kShowTextureFiles) {
    const Rgb c = ShowDataColour(texture);
    dir.Write(LinuxName(texture), MakeSolidTGA(8, 8, uint8_t(c.r), uint8_t(c.g), uint8_t(c.b)));
  }
}
