#include "tools/generators/datagen/image.h"

#include <algorithm>
#include <cmath>

Colour Mix(Colour a, Colour b, float t) { return {a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t}; }

Colour Hex(uint32_t rgb) {
  return {float((rgb >> 16) & 0xFF) / 255.0f, float((rgb >> 8) & 0xFF) / 255.0f, float(rgb & 0xFF) / 255.0f};
}

Image::Image(int w, int h, Colour fill) : width(w), height(h), pixels(size_t(w) * size_t(h), fill) {}

Colour& Image::Wrapped(int x, int y) {
  x %= width;
  y %= height;
  if (x < 0) x += width;
  if (y < 0) y += height;
  return At(x, y);
}

void Image::Blend(int x, int y, Colour c, float alpha) {
  if (x < 0 || y < 0 || x >= width || y >= height || alpha <= 0) return;
  Colour& p = At(x, y);
  p = Mix(p, c, std::min(alpha, 1.0f));
}

std::vector<uint8_t> EncodeTGA(const Image& image) {
  std::vector<uint8_t> out = {0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0};
  out.push_back(uint8_t(image.width & 0xFF));
  out.push_back(uint8_t(image.width >> 8));
  out.push_back(uint8_t(image.height & 0xFF));
  out.push_back(uint8_t(image.height >> 8));
  out.push_back(24);
  out.push_back(0);  // bottom-left origin, no alpha bits
  const auto byte = [](float f) { return uint8_t(std::lround(std::clamp(f, 0.0f, 1.0f) * 255.0f)); };
  for (const Colour& c : image.pixels) {
    out.push_back(byte(c.b));
    out.push_back(byte(c.g));
    out.push_back(byte(c.r));
  }
  return out;
}

uint64_t Rng::Next() {  // splitmix64
  uint64_t z = (state += 0x9E3779B97F4A7C15ull);
  z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
  z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
  return z ^ (z >> 31);
}

float Rng::Uniform() { return float(Next() >> 40) / float(1ull << 24); }
float Rng::Range(float lo, float hi) { return lo + (hi - lo) * Uniform(); }

uint32_t Hash(int x, int y, uint32_t seed) {
  uint32_t h = uint32_t(x) * 0x8DA6B343u ^ uint32_t(y) * 0xD8163841u ^ seed * 0xCB1AB31Fu;
  h ^= h >> 13;
  h *= 0x85EBCA6Bu;
  h ^= h >> 16;
  h *= 0xC2B2AE35u;
  h ^= h >> 15;
  return h;
}

static float Lattice(int x, int y, int px, int py, uint32_t seed) {
  x %= px;
  y %= py;
  if (x < 0) x += px;
  if (y < 0) y += py;
  return float(Hash(x, y, seed) & 0xFFFFFF) / float(0xFFFFFF);
}

float Noise(float x, float y, int periodX, int periodY, uint32_t seed) {
  const float fx = std::floor(x), fy = std::floor(y);
  const int ix = int(fx), iy = int(fy);
  float tx = x - fx, ty = y - fy;
  tx = tx * tx * (3 - 2 * tx);
  ty = ty * ty * (3 - 2 * ty);
  const float a = Lattice(ix, iy, periodX, periodY, seed), b = Lattice(ix + 1, iy, periodX, periodY, seed);
  const float c = Lattice(ix, iy + 1, periodX, periodY, seed), d = Lattice(ix + 1, iy + 1, periodX, periodY, seed);
  return (a + (b - a) * tx) + ((c + (d - c) * tx) - (a + (b - a) * tx)) * ty;
}

float Fbm(float x, float y, int baseCells, int octaves, uint32_t seed, float gain) {
  float sum = 0, amp = 1, norm = 0;
  int cells = baseCells;
  for (int o = 0; o < octaves; ++o) {
    sum += amp * Noise(x * float(cells), y * float(cells), cells, cells, seed + uint32_t(o) * 101u);
    norm += amp;
    amp *= gain;
    cells *= 2;
  }
  return sum / norm;
}
