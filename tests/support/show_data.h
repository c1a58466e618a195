// Small stand-ins for the show's data files, written by the tests themselves:
// 3DS models built from bytes and solid-colour TGA textures.
#pragma once

#include "tests/support/gl_test.h"

#include <array>
#include <cstdint>
#include <vector>

struct ModelVertex {
  float x, y, z, u, v;
};

// A standard 3DS file: Main > Object Mesh > Object Block > Tri-Mesh with a
// vertex list, a face list and a mapping list (one object).
std::vector<uint8_t> Make3DS(const std::vector<ModelVertex>& vertices,
                             const std::vector<std::array<uint16_t, 3>>& faces);

// An axis-aligned cube of half-size `half` centred on the model's origin,
// 12 triangles, each face mapped to the whole texture.
std::vector<uint8_t> Make3DSCube(float half);

// Writes every model and texture the show loads under Data/ in the working
// directory (the ScratchDir): cubes for models, and for textures 8 x 8 solid
// colours, each file its own colour (see ShowDataColour).
void WriteTinyShowData(const ScratchDir& dir);

// The colour WriteTinyShowData gives a texture file, e.g. "Data\\Fly.tga".
Rgb ShowDataColour(const char* textureName);

// The show's texture files, in a fixed order.
extern const char* const kShowTextureFiles[14];
// The show's model files.
extern const char* const kShowModelFiles[13];
