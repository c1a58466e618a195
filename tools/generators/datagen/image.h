// Images as the painters build them: linear float RGB, x to the right and
// y upwards, so that pixel (x, y) is texture coordinate (x / w, y / h), the
// way a bottom-left-origin TGA stores it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

struct Colour {
  float r, g, b;
};
inline Colour operator+(Colour a, Colour b) { return {a.r + b.r, a.g + b.g, a.b + b.b}; }
inline Colour operator*(Colour a, float s) { return {a.r * s, a.g * s, a.b * s}; }
inline Colour operator*(Colour a, Colour b) { return {a.r * b.r, a.g * b.g, a.b * b.b}; }
Colour Mix(Colour a, Colour b, float t);
Colour Hex(uint32_t rgb);  // 0xRRGGBB

struct Image {
  int width = 0, height = 0;
  std::vector<Colour> pixels;  // row y = 0 first (the bottom row)

  Image(int w, int h, Colour fill = {0, 0, 0});
  Colour& At(int x, int y) { return pixels[size_t(y) * size_t(width) + size_t(x)]; }
  Colour At(int x, int y) const { return pixels[size_t(y) * size_t(width) + size_t(x)]; }
  // Wraps coordinates round, for tiling textures.
  Colour& Wrapped(int x, int y);
  void Blend(int x, int y, Colour c, float alpha);  // ignores pixels outside
};

// Uncompressed 24-bit TGA, bottom-left origin, B G R bytes.
std::vector<uint8_t> EncodeTGA(const Image& image);

// Deterministic noise: a small hash-based generator with no library state.
struct Rng {
  uint64_t state;
  explicit Rng(uint64_t seed) : state(seed * 0x9E3779B97F4A7C15ull + 0x632BE59BD9B4E019ull) {}
  uint64_t Next();
  float Uniform();                   // [0, 1)
  float Range(float lo, float hi);   // [lo, hi)
};
uint32_t Hash(int x, int y, uint32_t seed);
// Value noise with smooth steps, tiling with the given periods (in cells).
float Noise(float x, float y, int periodX, int periodY, uint32_t seed);
// Sum of octaves; x, y in [0, 1) tile over the unit square at every octave.
float Fbm(float x, float y, int baseCells, int octaves, uint32_t seed, float gain = 0.5f);
