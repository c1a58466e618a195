#include "tools/generators/datagen/paint.h"
#include "tools/generators/datagen/bitmap_font.h"

#include <algorithm>
#include <cmath>
#include <vector>

float Clamp01(float x) { return std::clamp(x, 0.0f, 1.0f); }
float SmoothStep(float e0, float e1, float x) {
  const float t = Clamp01((x - e0) / (e1 - e0));
  return t * t * (3 - 2 * t);
}

void FillEllipse(Image& img, float cx, float cy, float rx, float ry, Colour c, float alpha, float soft) {
  const int x0 = int(std::floor(cx - rx - 2)), x1 = int(std::ceil(cx + rx + 2));
  const int y0 = int(std::floor(cy - ry - 2)), y1 = int(std::ceil(cy + ry + 2));
  for (int y = y0; y <= y1; ++y)
    for (int x = x0; x <= x1; ++x) {
      const float dx = (float(x) + 0.5f - cx) / rx, dy = (float(y) + 0.5f - cy) / ry;
      const float d = (std::sqrt(dx * dx + dy * dy) - 1.0f) * std::min(rx, ry);
      img.Blend(x, y, c, alpha * Clamp01(0.5f - d / soft));
    }
}

void Glow(Image& img, float cx, float cy, float rx, float ry, Colour c, float strength) {
  const int x0 = int(cx - 3 * rx), x1 = int(cx + 3 * rx), y0 = int(cy - 3 * ry), y1 = int(cy + 3 * ry);
  for (int y = y0; y <= y1; ++y)
    for (int x = x0; x <= x1; ++x) {
      if (x < 0 || y < 0 || x >= img.width || y >= img.height) continue;
      const float dx = (float(x) + 0.5f - cx) / rx, dy = (float(y) + 0.5f - cy) / ry;
      img.At(x, y) = img.At(x, y) + c * (strength * std::exp(-(dx * dx + dy * dy)));
    }
}

static float SegmentDistance(float px, float py, float ax, float ay, float bx, float by) {
  const float vx = bx - ax, vy = by - ay, wx = px - ax, wy = py - ay;
  const float len2 = vx * vx + vy * vy;
  const float t = len2 > 0 ? std::clamp((wx * vx + wy * vy) / len2, 0.0f, 1.0f) : 0.0f;
  const float dx = wx - t * vx, dy = wy - t * vy;
  return std::sqrt(dx * dx + dy * dy);
}

// Glyph cells become round dots joined to their neighbours, which reads as
// pen strokes rather than blocks when the letters are large.
void DrawText(Image& img, const char* text, float cx, float cy, float cell, Colour c, float alpha, float stretchX,
              float pen) {
  using namespace bitmap_font;
  struct Seg {
    float ax, ay, bx, by;
  };
  std::vector<Seg> segs;
  const float cw = cell * stretchX;
  const float left = cx - float(TextCells(text)) * cw * 0.5f, top = cy + float(kGlyphH) * cell * 0.5f;
  for (int i = 0; text[i]; ++i)
    for (int row = 0; row < kGlyphH; ++row)
      for (int col = 0; col < kGlyphW; ++col) {
        if (!Cell(text[i], col, row)) continue;
        const float x = left + (float(i * kAdvance + col) + 0.5f) * cw, y = top - (float(row) + 0.5f) * cell;
        segs.push_back({x, y, x, y});
        const int nb[4][2] = {{1, 0}, {0, 1}, {1, 1}, {-1, 1}};
        for (const auto& n : nb) {
          if (!Cell(text[i], col + n[0], row + n[1])) continue;
          // Diagonals only where no square corner already joins the cells.
          if (n[0] != 0 && n[1] != 0 && (Cell(text[i], col + n[0], row) || Cell(text[i], col, row + n[1]))) continue;
          segs.push_back({x, y, x + float(n[0]) * cw, y - float(n[1]) * cell});
        }
      }
  const float r = pen * cell * 0.5f * std::max(1.0f, stretchX * 0.8f);
  const int x0 = int(left - cell), x1 = int(left + float(TextCells(text)) * cw + cell);
  const int y0 = int(top - float(kGlyphH + 1) * cell), y1 = int(top + cell);
  for (int y = y0; y <= y1; ++y)
    for (int x = x0; x <= x1; ++x) {
      float d = 1e9f;
      for (const Seg& s : segs) d = std::min(d, SegmentDistance(float(x) + 0.5f, float(y) + 0.5f, s.ax, s.ay, s.bx, s.by));
      const float cover = Clamp01(r - d + 0.5f);
      if (cover > 0) img.Blend(((x % img.width) + img.width) % img.width, y, c, alpha * cover);
    }
}
