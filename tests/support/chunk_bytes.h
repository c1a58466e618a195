// Building .3DS files chunk by chunk in tests: any layout, damaged ones too.
#pragma once

#include "tests/support/gl_test.h"

#include <array>
#include <cstdint>
#include <initializer_list>
#include <vector>

using Bytes = std::vector<uint8_t>;

// Concatenates byte strings.
inline Bytes Cat(std::initializer_list<Bytes> parts) {
  Bytes out;
  for (const Bytes& part : parts) out.insert(out.end(), part.begin(), part.end());
  return out;
}

// A chunk with its true size: id, size (header included), payload.
inline Bytes Chunk(unsigned id, const Bytes& payload = {}) {
  Bytes out;
  PutU16(out, id);
  PutU32(out, uint32_t(payload.size() + 6));
  return Cat({out, payload});
}

// A chunk header claiming `size`, whatever follows.
inline Bytes Header(unsigned id, uint32_t size) {
  Bytes out;
  PutU16(out, id);
  PutU32(out, size);
  return out;
}

inline Bytes VertexList(const std::vector<std::array<float, 3>>& xyz) {
  Bytes payload;
  PutU16(payload, unsigned(xyz.size()));
  for (const auto& v : xyz) PutF32(payload, v[0]), PutF32(payload, v[1]), PutF32(payload, v[2]);
  return Chunk(0x4110, payload);
}

// Faces (a, b, c), flags 0, then `subChunks`.
inline Bytes FaceList(const std::vector<std::array<uint16_t, 3>>& faces, const Bytes& subChunks = {}) {
  Bytes payload;
  PutU16(payload, unsigned(faces.size()));
  for (const auto& f : faces) PutU16(payload, f[0]), PutU16(payload, f[1]), PutU16(payload, f[2]), PutU16(payload, 0);
  return Chunk(0x4120, Cat({payload, subChunks}));
}

inline Bytes MapList(const std::vector<std::array<float, 2>>& uv) {
  Bytes payload;
  PutU16(payload, unsigned(uv.size()));
  for (const auto& m : uv) PutF32(payload, m[0]), PutF32(payload, m[1]);
  return Chunk(0x4140, payload);
}

// Main > Object Mesh > Object Block "name" > Tri-Mesh holding `lists`, one
// object block per entry of `objects`.
inline Bytes ObjectBlock(const Bytes& triMeshLists, const char* name = "obj") {
  Bytes payload;
  for (const char* c = name; *c; ++c) payload.push_back(uint8_t(*c));
  payload.push_back(0);
  return Chunk(0x4000, Cat({payload, Chunk(0x4100, triMeshLists)}));
}

inline Bytes MainFile(std::initializer_list<Bytes> objectBlocks) {
  return Chunk(0x4D4D, Chunk(0x3D3D, Cat(objectBlocks)));
}
