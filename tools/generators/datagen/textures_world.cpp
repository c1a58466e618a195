// Sky, flyer, castle and credits textures.
#include "tools/generators/datagen/bitmap_font.h"
#include "tools/generators/datagen/models.h"
#include "tools/generators/datagen/paint.h"
#include "tools/generators/datagen/textures.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr float kPi = 3.14159265358979f;
constexpr int kSize = 512;

// On the sky sphere a texel is twice as tall as it is wide on screen (three
// repeats round, three quarters of the height pole to pole), so round things
// are painted half as tall.
constexpr float kSkySquash = 0.5f;

void Stars(Image& img, int count, uint32_t seed, float maxY) {
  Rng rng(seed);
  for (int k = 0; k < count; ++k) {
    const float x = rng.Uniform() * float(img.width), y = rng.Uniform() * maxY;
    const float m = std::pow(rng.Uniform(), 6.0f);
    const float tint = rng.Uniform();
    const Colour c = tint < 0.3f ? Hex(0xBFD4FF) : (tint < 0.5f ? Hex(0xFFE2B8) : Hex(0xFFFFFF));
    const float r = 0.5f + 1.6f * m;
    for (int wrap = -1; wrap <= 1; ++wrap) {
      const float wx = x + float(wrap * img.width);
      Glow(img, wx, y, r, r * kSkySquash, c, 0.35f + 1.2f * m);
      if (m > 0.5f) Glow(img, wx, y, r * 6, r * 0.5f, c, 0.15f * m);  // a glint
    }
  }
}

}  // namespace

Image PaintGalaxy() {
  Image img(kSize, kSize);
  for (int y = 0; y < kSize; ++y)
    for (int x = 0; x < kSize; ++x) {
      const float u = float(x) / kSize, v = float(y) / kSize;
      const float neb = Fbm(u, v, 3, 5, 301);
      const float neb2 = Fbm(u + 0.5f, v, 4, 4, 302);
      Colour c = Hex(0x03040C);
      c = c + Hex(0x2A0F4A) * (1.3f * std::pow(Clamp01(neb - 0.35f) * 2.2f, 2.0f));
      c = c + Hex(0x0E3A5A) * (1.2f * std::pow(Clamp01(neb2 - 0.4f) * 2.4f, 2.0f));
      img.At(x, y) = c;
    }
  // A spiral galaxy in the middle of each repeat, at the horizon's height.
  const float gx = 256.0f, gy = 0.375f * kSize + 8.0f;
  for (int y = 0; y < kSize; ++y)
    for (int x = 0; x < kSize; ++x) {
      const float dx = (float(x) - gx) / 150.0f, dy = (float(y) - gy) / (150.0f * kSkySquash);
      // Tilted disc: rotate, then flatten.
      const float rx = dx * 0.9f + dy * 0.45f, ry = (-dx * 0.45f + dy * 0.9f) / 0.55f;
      const float r = std::sqrt(rx * rx + ry * ry), a = std::atan2(ry, rx);
      if (r > 1.4f) continue;
      const float arms = std::pow(0.5f + 0.5f * std::cos(2.0f * a - 7.0f * std::log(r + 0.05f)), 3.0f);
      const float dust = Fbm(float(x) / kSize, float(y) / kSize, 16, 3, 303);
      const float disc = std::exp(-r * 2.6f) * (0.35f + 1.1f * arms * (0.5f + dust));
      const float core = std::exp(-r * r * 60.0f);
      img.At(x, y) = img.At(x, y) + Hex(0x9FB4FF) * (0.9f * disc) + Hex(0xFF9AD0) * (0.35f * disc * arms) +
                     Hex(0xFFF0D0) * (1.4f * core);
    }
  Stars(img, 2200, 304, float(kSize));
  return img;
}

Image PaintCloud1() {
  Image img(kSize, kSize);
  for (int y = 0; y < kSize; ++y)
    for (int x = 0; x < kSize; ++x) {
      const float u = float(x) / kSize, v = float(y) / kSize;
      const float n = Fbm(u, v, 4, 6, 401, 0.55f);
      const float cloud = SmoothStep(0.42f, 0.68f, n);
      const float shade = Fbm(u + 0.02f, v + 0.03f, 4, 6, 401, 0.55f);
      const Colour sky = Mix(Hex(0x5C86C4), Hex(0x9EC1EA), v);
      const Colour white = Mix(Hex(0x8A93A6), Hex(0xF7F7F5), SmoothStep(0.4f, 0.75f, shade + 0.1f));
      img.At(x, y) = Mix(sky, white, cloud);
    }
  return img;
}

// Ashlar: courses of blocks of varied length, each its own tone, with
// bevelled edges and dark mortar; tiles both ways.
Image PaintPiedrah() {
  Image img(kSize, kSize);
  const int course = 64;
  for (int y = 0; y < kSize; ++y) {
    const int row = y / course;
    const float fy = float(y % course);
    for (int x = 0; x < kSize; ++x) {
      // Block boundaries for this row: 4 blocks of varied width per row.
      const uint32_t rs = Hash(row, 0, 501);
      const int shift = int(rs % 128);
      const int xs = (x + shift) % kSize;
      int start = 0, idx = 0;
      const int widths[4] = {96 + int(Hash(row, 1, 502) % 64), 128, 0, 0};
      int bounds[5] = {0, widths[0], widths[0] + 112 + int(Hash(row, 2, 503) % 40), 0, kSize};
      bounds[3] = bounds[2] + (kSize - bounds[2]) / 2;
      for (int k = 0; k < 4; ++k)
        if (xs >= bounds[k]) {
          idx = k;
          start = bounds[k];
        }
      const float fx = float(xs - start), bw = float(bounds[idx + 1] - start);
      const float edge = std::min(std::min(fx, bw - fx), std::min(fy, float(course) - fy));
      const uint32_t bh = Hash(row, idx, 504);
      const float tone = 0.75f + 0.3f * float(bh % 1000) / 1000.0f;
      const float n = Fbm(float(x) / kSize, float(y) / kSize, 16, 4, 505);
      const float grit = Noise(float(x) * 0.5f, float(y) * 0.5f, 256, 256, 506);
      Colour c = Mix(Hex(0x8C8476), Hex(0xB5AA94), float((bh >> 10) % 100) / 100.0f) * tone;
      c = c * (0.8f + 0.3f * n + 0.08f * grit);
      c = c * (0.55f + 0.45f * SmoothStep(1.5f, 7.0f, edge));
      if (edge < 2.0f) c = Hex(0x3A362F) * (0.8f + 0.3f * n);
      img.At(x, y) = c;
    }
  }
  return img;
}

Image PaintGround1() {
  Image img(kSize, kSize);
  for (int y = 0; y < kSize; ++y)
    for (int x = 0; x < kSize; ++x) {
      const float u = float(x) / kSize, v = float(y) / kSize;
      const float patch = Fbm(u, v, 3, 4, 601);
      const float blades = Noise(float(x) * 0.9f, float(y) * 0.9f, 512, 512, 602);
      const float n = Fbm(u, v, 16, 3, 603);
      const Colour grass = Mix(Hex(0x3E6B2A), Hex(0x7FA04A), 0.4f * blades + 0.5f * n);
      const Colour earth = Mix(Hex(0x6B5238), Hex(0x9A7E58), n);
      img.At(x, y) = Mix(grass, earth, SmoothStep(0.5f, 0.62f, patch));
    }
  Rng rng(604);
  for (int k = 0; k < 500; ++k) {
    const float x = rng.Uniform() * kSize, y = rng.Uniform() * kSize, r = rng.Range(1.5f, 4.0f);
    FillEllipse(img, x, y, r, r * 0.8f, Mix(Hex(0x8A8478), Hex(0xC0B8A8), rng.Uniform()), 0.8f);
  }
  return img;
}

// Brick facades (one with a door, one with two lit windows) and roof tiles.
Image PaintBrick1() {
  Image img(kSize, kSize);
  const int facadeTop = int(0.625f * kSize);
  for (int y = 0; y < facadeTop; ++y)
    for (int x = 0; x < kSize; ++x) {
      const int bh = 16, bw = 24;  // texels; facades are stretched wider on the houses
      const int row = y / bh;
      const int xs = x + (row % 2) * (bw / 2);
      const int col = xs / bw;
      const float fx = float(xs % bw), fy = float(y % bh);
      const uint32_t h = Hash(col, row, 701);
      const float tone = 0.8f + 0.3f * float(h % 100) / 100.0f;
      const float n = Fbm(float(x) / kSize, float(y) / kSize, 16, 3, 702);
      Colour c = Mix(Hex(0x8E3B24), Hex(0xB5603A), float((h >> 8) % 100) / 100.0f) * (tone * (0.85f + 0.25f * n));
      if (fx < 2.0f || fy < 2.0f) c = Hex(0xB8B0A0) * (0.75f + 0.2f * n);
      img.At(x, y) = c;
    }
  const auto window = [&](float cx, float cy, float w, float h) {
    for (int y = int(cy - h / 2 - 6); y < int(cy + h / 2 + 6); ++y)
      for (int x = int(cx - w / 2 - 6); x < int(cx + w / 2 + 6); ++x) {
        const float dx = std::fabs(float(x) - cx), dy = std::fabs(float(y) - cy);
        if (dx > w / 2 + 5 || dy > h / 2 + 5) continue;
        Colour c = Hex(0xD8D0C0);  // stone frame
        if (dx < w / 2 && dy < h / 2) {
          c = Mix(Hex(0xFFB347), Hex(0xFFE8A0), 1.0f - dy / h);
          if (dx < 2.0f || dy < 2.0f) c = Hex(0x3A2416);  // glazing bars
        }
        img.At(x, y) = c;
      }
  };
  // Door facade (left half): door below, window above.
  for (int y = 0; y < 150; ++y)
    for (int x = 96; x < 160; ++x) {
      const float dx = float(x) - 128.0f, top = 120.0f + std::sqrt(std::max(0.0f, 32.0f * 32.0f - dx * dx)) * 0.9f;
      if (float(y) > top) continue;
      const float plank = std::fabs(std::sin(float(x) * 0.4f));
      img.At(x, y) = Hex(0x5A3518) * (0.7f + 0.3f * plank);
      if (std::fabs(float(y) - top) < 4.0f) img.At(x, y) = Hex(0xD8D0C0);
    }
  FillEllipse(img, 145.0f, 70.0f, 3.0f, 3.0f, Hex(0xE0C060), 1.0f);
  window(128.0f, 240.0f, 56.0f, 52.0f);
  // Window facade (right half).
  window(320.0f, 170.0f, 60.0f, 70.0f);
  window(448.0f, 170.0f, 60.0f, 70.0f);
  // Roof tiles: overlapping rows of rounded clay tiles.
  for (int y = facadeTop; y < kSize; ++y)
    for (int x = 0; x < kSize; ++x) {
      const int th = 24, tw = 32;
      const int row = (y - facadeTop) / th;
      const int xs = x + (row % 2) * (tw / 2);
      const float fx = float(xs % tw) / tw, fy = float((y - facadeTop) % th) / th;
      const float round = std::sqrt(std::max(0.0f, 1.0f - std::pow(2 * fx - 1, 2.0f)));
      const uint32_t h = Hash(xs / tw, row, 703);
      Colour c = Mix(Hex(0x5E2418), Hex(0x8A3A22), float(h % 100) / 100.0f) * (0.55f + 0.5f * round);
      c = c * (0.6f + 0.4f * fy);
      img.At(x, y) = c;
    }
  return img;
}

Image PaintFly() {
  Image img(kSize, kSize, Hex(0x202228));
  // Hull: pale metal panels with lines, rivets and a red band.
  for (int y = 0; y < 256; ++y)
    for (int x = 0; x < 256; ++x) {
      const float n = Fbm(float(x) / 256.0f, float(y) / 256.0f, 8, 3, 801);
      Colour c = Mix(Hex(0xAEB8C4), Hex(0xD8DEE6), n) * (0.9f + 0.1f * float((x / 32 + y / 40) % 2));
      if (x % 32 == 0 || y % 40 == 0) c = c * 0.6f;
      if (x % 32 == 4 && y % 8 == 4) c = c * 0.75f;
      if (y > 150 && y < 166) c = Hex(0xB8242C);
      if ((x > 120 && x < 136) && y < 140 && y > 60) c = Hex(0x2A3A5A);  // dorsal stripe (top of the fuselage)
      img.At(x, y) = c;
    }
  // Wings: panels, a chevron, dark leading edge, a roundel near the tip.
  for (int y = 0; y < 256; ++y)
    for (int x = 256; x < 512; ++x) {
      const float s = float(x - 256) / 256.0f, t = float(y) / 256.0f;  // s round the section, t root to tip
      const float n = Fbm(s, t, 8, 3, 802);
      Colour c = Mix(Hex(0x9AA6B4), Hex(0xC9D1DA), n);
      if (int(t * 8) != int((t + 0.01f) * 8)) c = c * 0.65f;
      const float edge = std::fabs(s - 0.5f);
      if (edge > 0.42f || s < 0.05f || s > 0.95f) c = Hex(0x3A3F48);
      if (std::fabs(t - 0.55f) < 0.06f) c = Hex(0xE0A020);
      if (std::fabs(t - 0.7f) < 0.03f) c = Hex(0xB8242C);
      img.At(x, y) = c;
    }
  for (float cx : {320.0f, 448.0f}) {
    FillEllipse(img, cx, 210.0f, 18.0f, 18.0f, Hex(0x1E3F8A), 1.0f);
    FillEllipse(img, cx, 210.0f, 11.0f, 11.0f, Hex(0xF0F0F0), 1.0f);
    FillEllipse(img, cx, 210.0f, 5.0f, 5.0f, Hex(0xB8242C), 1.0f);
  }
  // Glass: dark cyan with a bright streak.
  for (int y = 256; y < 384; ++y)
    for (int x = 0; x < 128; ++x) {
      const float t = float(y - 256) / 128.0f, s = float(x) / 128.0f;
      Colour c = Mix(Hex(0x06202E), Hex(0x2A7A9A), t);
      c = c + Hex(0xCFF4FF) * (0.8f * std::exp(-std::pow((s - 0.5f - 0.3f * (t - 0.5f)) / 0.04f, 2.0f)) * SmoothStep(0.3f, 0.6f, t));
      img.At(x, y) = c;
    }
  // Engine: dark metal, the nozzle end (low v) glowing.
  for (int y = 256; y < 384; ++y)
    for (int x = 128; x < 256; ++x) {
      const float t = float(y - 256) / 128.0f;
      Colour c = Hex(0x4A4E58) * (0.8f + 0.2f * float((x / 8) % 2));
      if (t > 0.8f) c = Hex(0x9098A4);
      c = Mix(c, Hex(0x60D0FF), SmoothStep(0.16f, 0.02f, t));
      c = Mix(c, Hex(0xFFFFFF), SmoothStep(0.05f, 0.0f, t));
      img.At(x, y) = c;
    }
  // Fins: dark with yellow-black hazard bands.
  for (int y = 256; y < 384; ++y)
    for (int x = 256; x < 512; ++x) {
      Colour c = Hex(0x3C424C);
      if (y > 350 && ((x + y) / 10) % 2 == 0) c = Hex(0xE0B020);
      if (y > 350 && ((x + y) / 10) % 2 == 1) c = Hex(0x181818);
      img.At(x, y) = c;
    }
  DrawText(img, "VELMORA ONE", 256.0f, 448.0f, 6.0f, Hex(0xE0E4EA));
  return img;
}

Image PaintCredit1() {
  Image img(256, 256);
  for (int y = 0; y < 256; ++y)
    for (int x = 0; x < 256; ++x) {
      const float v = float(y) / 256.0f;
      const float h = v * 6.0f;
      const Colour hue{Clamp01(std::fabs(h - 3) - 1), Clamp01(2 - std::fabs(h - 2)), Clamp01(2 - std::fabs(h - 4))};
      const float band = 0.6f + 0.4f * std::sin(float(x) / 256.0f * 2 * kPi * 4);
      img.At(x, y) = Mix(hue, Hex(0xFFFFFF), 0.25f) * band;
    }
  return img;
}

// A credit ball: the image wraps twice round the ball, so one word fills the
// width; the ball's equator is the middle row.
static Image PaintCreditBall(const char* word, const char* line2, Colour deep, Colour light, uint32_t seed) {
  Image img(kSize, kSize);
  for (int y = 0; y < kSize; ++y)
    for (int x = 0; x < kSize; ++x) {
      const float u = float(x) / kSize, v = float(y) / kSize;
      const float n = Fbm(u, v, 4, 4, seed);
      const float lat = std::fabs(v - 0.5f) * 2;
      Colour c = Mix(light, deep, SmoothStep(0.0f, 0.9f, lat));
      c = c * (0.65f + 0.5f * n);
      // Fine lines of latitude and longitude.
      if (x % 32 == 0 || y % 32 == 0) c = Mix(c, light, 0.35f);
      img.At(x, y) = c;
    }
  const float cell = std::min(15.0f, 470.0f / float(bitmap_font::TextCells(word)));
  DrawText(img, word, 256.0f, 290.0f, cell, Hex(0x101018), 0.6f, 1.0f, 0.9f);
  DrawText(img, word, 256.0f, 292.0f, cell, Hex(0xFFFFFF));
  DrawText(img, line2, 256.0f, 200.0f, 6.0f, Hex(0xFFF4D0));
  return img;
}

Image PaintCode() { return PaintCreditBall("CODE", "BY QUINTREL", Hex(0x062A36), Hex(0x1FA7B8), 901); }
Image PaintVisual() { return PaintCreditBall("VISUAL", "BY QUINTREL", Hex(0x3A0A30), Hex(0xE0507A), 902); }
