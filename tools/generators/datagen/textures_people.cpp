// Skins and clothes of the figures, the close-up heads and the hand.
#include "tools/generators/datagen/models.h"
#include "tools/generators/datagen/paint.h"
#include "tools/generators/datagen/textures.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr float kPi = 3.14159265358979f;
constexpr int kSize = 512;

struct Region {
  int x0, y0, x1, y1;
};
Region Pixels(UVRect r) {
  return {int(r.u0 * kSize), int(r.v0 * kSize), int(r.u1 * kSize), int(r.v1 * kSize)};
}

// Silk: domain-warped bands with a sheen, tiling across; gold sparkles.
void PaintSilk(Image& img, Region r, uint32_t seed) {
  const float w = float(r.x1 - r.x0), h = float(r.y1 - r.y0);
  const Colour deep = Hex(0x1B0A3A), violet = Hex(0x5A1E8C), rose = Hex(0xB8479A), sheen = Hex(0xF2B8E8);
  for (int y = r.y0; y < r.y1; ++y)
    for (int x = r.x0; x < r.x1; ++x) {
      const float u = float(x - r.x0) / w, v = float(y - r.y0) / h;
      const float warp = Fbm(u, v, 3, 4, seed);
      const float warp2 = Fbm(u + 0.31f, v + 0.17f, 2, 3, seed + 7);
      const float band = 0.5f + 0.5f * std::sin(2 * kPi * (3.0f * u + 4.0f * warp + 2.0f * v * 1.0f + warp2));
      const float fold = std::pow(band, 3.0f);
      Colour c = Mix(deep, violet, Clamp01(0.25f + 0.9f * warp2));
      c = Mix(c, rose, 0.55f * fold);
      c = Mix(c, sheen, 0.35f * std::pow(band, 14.0f));
      img.At(x, y) = c;
    }
  Rng rng(seed);
  const Colour gold = Hex(0xFFD36B);
  for (int k = 0; k < 260; ++k) {
    const float x = float(r.x0) + rng.Uniform() * w, y = float(r.y0) + rng.Uniform() * h, s = rng.Range(0.8f, 2.2f);
    FillEllipse(img, x, y, s, s * 0.6f, gold, 0.9f);
    Glow(img, x, y, s * 2.5f, s * 1.4f, gold, 0.25f);
  }
}

void PaintSkinPatch(Image& img, Region r, Colour skin, uint32_t seed) {
  for (int y = r.y0; y < r.y1; ++y)
    for (int x = r.x0; x < r.x1; ++x) {
      const float n = Fbm(float(x) / 128.0f, float(y) / 128.0f, 4, 3, seed);
      img.At(x, y) = skin * (0.9f + 0.18f * n);
    }
}

void PaintHairPatch(Image& img, Region r, Colour hair, uint32_t seed) {
  for (int y = r.y0; y < r.y1; ++y)
    for (int x = r.x0; x < r.x1; ++x) {
      const float strand = Noise(float(x) * 0.7f, float(y) * 0.04f, 512, 512, seed);
      const float n = Fbm(float(x) / 128.0f, float(y) / 128.0f, 2, 3, seed + 3);
      img.At(x, y) = hair * (0.65f + 0.55f * strand * n + 0.2f * n);
    }
}

void PaintShoes(Image& img, Region r, Colour leather) {
  for (int y = r.y0; y < r.y1; ++y)
    for (int x = r.x0; x < r.x1; ++x) {
      const float t = float(y - r.y0) / float(r.y1 - r.y0);
      img.At(x, y) = leather * (0.6f + 0.6f * t);
    }
}

// The head square is mapped like an ellipsoid: longitude across (front in
// the middle), latitude up. Face features sit where that puts them.
void PaintFigureHead(Image& img, Region r, Colour skin, Colour hair, Colour lips, bool longHair, uint32_t seed) {
  const float w = float(r.x1 - r.x0), h = float(r.y1 - r.y0);
  for (int y = r.y0; y < r.y1; ++y)
    for (int x = r.x0; x < r.x1; ++x) {
      const float lon = (float(x - r.x0) / w - 0.5f) * 360.0f, lat = (float(y - r.y0) / h - 0.5f) * 180.0f;
      const float n = Fbm(float(x) / 64.0f, float(y) / 64.0f, 4, 2, seed);
      Colour c = skin * (0.92f + 0.12f * n);
      c = c * (1.0f - 0.25f * SmoothStep(40, 110, std::fabs(lon)));  // sides fall into shade
      c = Mix(c, Hex(0xE88A80), 0.25f * std::exp(-(std::pow((std::fabs(lon) - 32) / 12, 2.0f) + std::pow((lat + 12) / 10, 2.0f))));
      // Hairline: over the forehead, down the sides.
      const float line = longHair ? 32.0f - 10.0f * std::cos(lon * kPi / 180.0f) : 38.0f - 8.0f * std::cos(lon * kPi / 180.0f);
      const bool back = std::fabs(lon) > (longHair ? 75.0f : 95.0f) && lat > (longHair ? -90.0f : -25.0f);
      if (lat > line || back) c = hair * (0.75f + 0.4f * Noise(float(x) * 0.8f, float(y) * 0.1f, 512, 512, seed));
      img.At(x, y) = c;
    }
  const auto at = [&](float lon, float lat) {
    return std::pair<float, float>{float(r.x0) + (lon / 360.0f + 0.5f) * w, float(r.y0) + (lat / 180.0f + 0.5f) * h};
  };
  for (float side : {-1.0f, 1.0f}) {
    const auto [ex, ey] = at(side * 22.0f, 8.0f);
    FillEllipse(img, ex, ey, 5.5f, 3.2f, Hex(0xF4F1EA), 1.0f);
    FillEllipse(img, ex, ey, 2.6f, 2.6f, Hex(0x3B5E2E), 1.0f);
    FillEllipse(img, ex, ey, 1.2f, 1.2f, Hex(0x0A0A0A), 1.0f);
    FillEllipse(img, ex, ey + 3.2f, 6.0f, 1.0f, Hex(0x1A1010), 0.9f);
    const auto [bx, by] = at(side * 22.0f, 19.0f);
    FillEllipse(img, bx, by, 6.5f, 1.3f, hair * 0.6f, 0.9f);
  }
  const auto [mx, my] = at(0.0f, -24.0f);
  FillEllipse(img, mx, my, 6.0f, 1.8f, lips, 1.0f);
  const auto [nx, ny] = at(0.0f, -10.0f);
  FillEllipse(img, nx, ny, 2.5f, 1.4f, skin * 0.7f, 0.6f);
}

// Denim: twill diagonals, seams and a zip at the front (the middle of u).
void PaintDenim(Image& img, Region r, Colour base, uint32_t seed, bool zip) {
  for (int y = r.y0; y < r.y1; ++y)
    for (int x = r.x0; x < r.x1; ++x) {
      const float twill = 0.5f + 0.5f * std::sin(float(x + y) * 1.6f);
      const float n = Fbm(float(x) / 512.0f, float(y) / 512.0f, 8, 4, seed);
      Colour c = base * (0.75f + 0.35f * n + 0.08f * twill);
      const float u = float(x - r.x0) / float(r.x1 - r.x0);
      if (zip && std::fabs(u - 0.5f) < 0.006f) c = Hex(0xC9C9C9) * (0.7f + 0.3f * float((y / 3) % 2));
      if (std::fabs(u - 0.25f) < 0.003f || std::fabs(u - 0.75f) < 0.003f) c = Hex(0xC08A3E);
      img.At(x, y) = c;
    }
}

// Close-up heads: texture u = longitude from the back through the front
// (u = 0.5) round again; v maps to latitude as the head model packs it.
float HeadLatitude(float v) {
  const float x = 2 * v - 1;
  return 90.0f * x * (0.5f + 0.5f * x * x);
}

Image PaintCloseUpHead(bool woman) {
  Image img(kSize, kSize);
  const Colour skin = woman ? Hex(0xF0C4A6) : Hex(0xD9A07C);
  const Colour hair = woman ? Hex(0x7A2A16) : Hex(0x2A1C14);
  const uint32_t seed = woman ? 71u : 53u;
  for (int y = 0; y < kSize; ++y)
    for (int x = 0; x < kSize; ++x) {
      const float lon = (float(x) / kSize - 0.5f) * 360.0f, lat = HeadLatitude(float(y) / kSize);
      const float al = std::fabs(lon);
      const float n = Fbm(float(x) / kSize, float(y) / kSize, 8, 4, seed);
      Colour c = skin * (0.88f + 0.16f * n);
      c = c * (1.0f - 0.18f * SmoothStep(-40, -80, lat));  // under the jaw
      c = Mix(c, Hex(0xE77F78), 0.22f * std::exp(-(std::pow((al - 35) / 14, 2.0f) + std::pow((lat + 12) / 10, 2.0f))));
      if (!woman) c = Mix(c, Hex(0x4A3A33), 0.28f * SmoothStep(-12, -30, lat) * SmoothStep(-75, -45, lat) * SmoothStep(10, 30, al));
      // Form: shade under the cheekbone and along the jaw, a fold from nose to mouth.
      c = c * (1.0f - 0.14f * SmoothStep(-12, -38, lat) * SmoothStep(25, 65, al));
      c = c * (1.0f + 0.07f * std::exp(-(std::pow((al - 48) / 14, 2.0f) + std::pow((lat + 4) / 7, 2.0f))));
      const float fold = std::fabs((al - 13) - 0.6f * (-14 - lat)) / 3.5f;
      if (lat < -12 && lat > -28) c = c * (1.0f - 0.06f * std::exp(-fold * fold));
      // Ear.
      const float ed = std::pow((al - 90) / 9, 2.0f) + std::pow((lat - 2) / 14, 2.0f);
      if (ed < 1) c = c * (0.8f + 0.2f * ed);
      // Hair, with soft edges that wander a little.
      const float wobble = 6.0f * (Noise(float(y) * 0.06f, 0.5f, 512, 512, seed + 5) - 0.5f);
      float hairMask;
      if (woman) {
        const float line = 30.0f - 8.0f * std::cos(lon * kPi / 180.0f) + wobble;
        const float sides = SmoothStep(64, 72, al + wobble) * SmoothStep(-82, -72, lat);
        hairMask = std::max(SmoothStep(line - 2, line + 2, lat), sides);
      } else {
        const float line = 36.0f - 6.0f * std::cos(lon * kPi / 180.0f) + 0.5f * wobble;
        const float burn = SmoothStep(73, 78, al) * SmoothStep(-6, 2, lat);
        const float back = SmoothStep(96, 104, al) * SmoothStep(-34, -26, lat);
        hairMask = std::max(SmoothStep(line - 1.5f, line + 1.5f, lat), std::max(burn, back));
      }
      if (hairMask > 0) {
        const float strand = Noise(float(x) * (woman ? 0.35f : 0.9f), float(y) * 0.05f, 512, 512, seed + 1);
        Colour hc = hair * (0.55f + 0.6f * strand * (0.6f + 0.4f * n));
        if (woman) hc = Mix(hc, Hex(0xD9703A), 0.3f * std::pow(strand, 6.0f));
        c = Mix(c, hc, hairMask);
      }
      img.At(x, y) = c;
    }
  // Eyes, brows, lips.
  const auto px = [](float lon) { return (lon / 360.0f + 0.5f) * kSize; };
  const auto py = [](float lat) {
    float lo = 0, hi = 1;
    for (int k = 0; k < 30; ++k) {
      const float mid = (lo + hi) / 2;
      (HeadLatitude(mid) < lat ? lo : hi) = mid;
    }
    return lo * kSize;
  };
  for (float side : {-1.0f, 1.0f}) {
    const float ex = px(side * 27.0f), ey = py(4.0f);
    FillEllipse(img, ex, ey, 11.0f, 5.5f, Hex(0xF5F2EC), 1.0f);
    FillEllipse(img, ex - side * 1.5f, ey, 4.8f, 4.8f, woman ? Hex(0x2F6A8C) : Hex(0x5A3A1E), 1.0f);
    FillEllipse(img, ex - side * 1.5f, ey, 2.2f, 2.2f, Hex(0x080808), 1.0f);
    FillEllipse(img, ex - side * 2.5f, ey + 1.5f, 1.1f, 1.1f, Hex(0xFFFFFF), 0.9f);
    FillEllipse(img, ex, ey + 5.0f, 12.0f, woman ? 2.0f : 1.4f, Hex(0x1A0E0A), 0.95f);  // lid line
    if (woman) FillEllipse(img, ex, ey + 7.5f, 11.0f, 3.0f, Hex(0x7A5A8A), 0.35f);     // shadow
    const float by = py(woman ? 15.0f : 13.5f);
    FillEllipse(img, ex, by, 12.0f, woman ? 1.6f : 2.6f, hair * 0.7f, 0.95f);
  }
  const float mx = px(0.0f), my = py(-24.0f);
  const Colour lips = woman ? Hex(0xC0283C) : Hex(0xA8605A);
  FillEllipse(img, mx, my + 2.0f, 15.0f, woman ? 3.2f : 2.2f, lips, 1.0f);
  FillEllipse(img, mx, my - 2.5f, 13.0f, woman ? 3.6f : 2.4f, lips * 0.9f, 1.0f);
  FillEllipse(img, mx, my, 15.0f, 0.7f, Hex(0x40161A), 0.9f);
  if (woman)
    for (float side : {-1.0f, 1.0f}) FillEllipse(img, px(side * 92.0f), py(-12.0f), 3.0f, 4.0f, Hex(0xFFD36B), 1.0f);
  return img;
}

}  // namespace

Image PaintNena1() {
  Image img(kSize, kSize);
  PaintSilk(img, {0, 0, kSize, kSize * 3 / 4}, 11);
  PaintFigureHead(img, Pixels(atlas::kHead), Hex(0xF2C9AA), Hex(0x5A2E14), Hex(0xC23A4A), true, 12);
  PaintSkinPatch(img, Pixels(atlas::kSkin), Hex(0xF2C9AA), 13);
  PaintHairPatch(img, Pixels(atlas::kHair), Hex(0x5A2E14), 14);
  PaintShoes(img, Pixels(atlas::kShoes), Hex(0x6A1B3A));
  return img;
}

Image PaintTio1() {
  Image img(kSize, kSize);
  PaintDenim(img, Pixels(atlas::kCloth), Hex(0x2D4E86), 21, true);
  PaintDenim(img, Pixels(atlas::kCloth2), Hex(0x2B2B33), 22, false);
  PaintFigureHead(img, Pixels(atlas::kHead), Hex(0xD9A07C), Hex(0x23180F), Hex(0x9C5A52), false, 23);
  PaintSkinPatch(img, Pixels(atlas::kSkin), Hex(0xD9A07C), 24);
  PaintHairPatch(img, Pixels(atlas::kHair), Hex(0x23180F), 25);
  PaintShoes(img, Pixels(atlas::kShoes), Hex(0x5A3A20));
  return img;
}

Image PaintCaraTio1() { return PaintCloseUpHead(false); }
Image PaintCaraTia1() { return PaintCloseUpHead(true); }

Image PaintPincho1() {
  Image img(256, 256, Hex(0x120818));
  for (int y = 0; y < 256; ++y)
    for (int x = 0; x < 256; ++x) {
      const float dx = float(x) - 127.5f, dy = float(y) - 127.5f;
      const float a = std::atan2(dy, dx), d = std::sqrt(dx * dx + dy * dy) / 128.0f;
      const float spikes = std::pow(std::fabs(std::cos(a * 6.0f)), 12.0f);
      const float body = Clamp01((0.25f + 0.7f * spikes - d) * 12.0f);
      img.At(x, y) = Mix(img.At(x, y), Mix(Hex(0x3C8A3A), Hex(0xE8F0A0), Clamp01(1.0f - d * 1.5f)), body);
    }
  return img;
}
