#include "tools/generators/datagen/writer_3ds.h"

#include <cstring>

namespace {

void PutU16(std::vector<uint8_t>& out, unsigned v) {
  out.push_back(uint8_t(v & 0xFF));
  out.push_back(uint8_t((v >> 8) & 0xFF));
}

void PutU32(std::vector<uint8_t>& out, uint32_t v) {
  for (int k = 0; k < 4; ++k) out.push_back(uint8_t((v >> (8 * k)) & 0xFF));
}

void PutF32(std::vector<uint8_t>& out, float f) {
  uint32_t bits;
  std::memcpy(&bits, &f, 4);
  PutU32(out, bits);
}

// A chunk is its id, its whole length (header included) and its payload.
std::vector<uint8_t> Chunk(uint16_t id, const std::vector<uint8_t>& payload) {
  std::vector<uint8_t> out;
  PutU16(out, id);
  PutU32(out, uint32_t(payload.size() + 6));
  out.insert(out.end(), payload.begin(), payload.end());
  return out;
}

void Add(std::vector<uint8_t>& out, const std::vector<uint8_t>& more) { out.insert(out.end(), more.begin(), more.end()); }

}  // namespace

std::vector<uint8_t> Encode3DS(const Mesh& mesh, const char* objectName) {
  if (mesh.vertices.size() > 65535 || mesh.faces.size() > 65535) return {};

  std::vector<uint8_t> vertices, faces, mapping;
  PutU16(vertices, unsigned(mesh.vertices.size()));
  for (const MeshVertex& v : mesh.vertices) {
    PutF32(vertices, v.x);
    PutF32(vertices, v.y);
    PutF32(vertices, v.z);
  }
  PutU16(faces, unsigned(mesh.faces.size()));
  for (const auto& f : mesh.faces) {
    for (uint32_t index : f) PutU16(faces, unsigned(index));
    PutU16(faces, 0x0007);  // all three edges visible, as modellers write them
  }
  PutU16(mapping, unsigned(mesh.vertices.size()));
  for (const MeshVertex& v : mesh.vertices) {
    PutF32(mapping, v.u);
    PutF32(mapping, v.v);
  }

  std::vector<uint8_t> triMesh;
  Add(triMesh, Chunk(0x4110, vertices));
  Add(triMesh, Chunk(0x4120, faces));
  Add(triMesh, Chunk(0x4140, mapping));

  std::vector<uint8_t> block(objectName, objectName + std::strlen(objectName) + 1);
  Add(block, Chunk(0x4100, triMesh));

  std::vector<uint8_t> version;  // mesh version 3, as 3D Studio writes
  PutU32(version, 3);
  std::vector<uint8_t> objectMesh = Chunk(0x3D3E, version);
  Add(objectMesh, Chunk(0x4000, block));

  std::vector<uint8_t> fileVersion;
  PutU32(fileVersion, 3);
  std::vector<uint8_t> main = Chunk(0x0002, fileVersion);
  Add(main, Chunk(0x3D3D, objectMesh));
  return Chunk(0x4D4D, main);
}
