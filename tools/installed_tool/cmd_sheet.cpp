// velmora-trailer-tool sheet OUT.png: a contact sheet of the show, one frame from
// every phase of every scene, each labelled with its stream position, for
// reviewing the show (and its data) at a glance.
#include "tools/installed_tool/commands.h"
#include "tools/installed_tool/show_moment.h"

#include "tools/shared_kit/png_file.h"
#include "tools/generators/datagen/bitmap_font.h"

#include <cstdio>
#include <string>
#include <vector>

namespace {

struct Moment {
  uint32_t position;  // stream bytes
  const char* phase;
};

// Late in each window where a flash opens it, so that the picture shows.
const Moment kMoments[] = {
    {1000000, "title fade-in"}, {2300000, "title fade-in"}, {3200000, "title ride"}, {4300000, "title mirror"},
    {4940000, "title closer"}, {5250000, "title faces"},      {5800000, "hand pose 0"}, {6012000, "hand pose 1"},
    {6058000, "hand pose 2"},  {6091000, "hand pose 3"},  {6700000, "castle fog"},  {7200000, "castle clear"},
    {7900000, "castle fog"},   {8600000, "flight view"},  {9100000, "flight path"}, {9230000, "flight path"},
    {9700000, "credits"},      {10300000, "credits"},     {11200000, "credits"},    {11700000, "closing"},
};

constexpr int kColumns = 4;
constexpr int kThumbW = kFrameWidth / 2, kThumbH = kFrameHeight / 2;
constexpr int kGap = 4;

// Halves a frame by averaging 2 x 2 blocks.
void Shrink(const std::vector<unsigned char>& rgb, std::vector<unsigned char>& sheet, int sheetW, int ox, int oy) {
  for (int y = 0; y < kThumbH; ++y)
    for (int x = 0; x < kThumbW; ++x)
      for (int c = 0; c < 3; ++c) {
        int sum = 0;
        for (int dy = 0; dy < 2; ++dy)
          for (int dx = 0; dx < 2; ++dx) sum += rgb[(size_t(2 * y + dy) * kFrameWidth + size_t(2 * x + dx)) * 3 + c];
        sheet[(size_t(oy + y) * size_t(sheetW) + size_t(ox + x)) * 3 + c] = (unsigned char)(sum / 4);
      }
}

// The label: white text at twice the font's size on a dark band.
void Label(std::vector<unsigned char>& sheet, int sheetW, int ox, int oy, const std::string& text) {
  using namespace bitmap_font;
  const int scale = 2, pad = 3;
  const int w = TextCells(text.c_str()) * scale + 2 * pad, h = kGlyphH * scale + 2 * pad;
  for (int y = 0; y < h && y < kThumbH; ++y)
    for (int x = 0; x < w && x < kThumbW; ++x)
      for (int c = 0; c < 3; ++c) {
        unsigned char& p = sheet[(size_t(oy + y) * size_t(sheetW) + size_t(ox + x)) * 3 + c];
        p = (unsigned char)(p / 4);
      }
  for (size_t i = 0; i < text.size(); ++i)
    for (int row = 0; row < kGlyphH; ++row)
      for (int col = 0; col < kGlyphW; ++col) {
        if (!Cell(text[i], col, row)) continue;
        for (int sy = 0; sy < scale; ++sy)
          for (int sx = 0; sx < scale; ++sx) {
            const int x = pad + (int(i) * kAdvance + col) * scale + sx, y = pad + row * scale + sy;
            if (x >= kThumbW || y >= kThumbH) continue;
            for (int c = 0; c < 3; ++c) sheet[(size_t(oy + y) * size_t(sheetW) + size_t(ox + x)) * 3 + c] = 255;
          }
      }
}

}  // namespace

int CmdSheet(int argc, char** argv) {
  if (argc != 1) {
    std::fputs("usage: velmora-trailer-tool sheet OUT.png\n", stderr);
    return 2;
  }
  if (!StartHeadlessShow()) return 1;
  const int count = int(sizeof kMoments / sizeof kMoments[0]);
  const int rows = (count + kColumns - 1) / kColumns;
  const int sheetW = kColumns * kThumbW + (kColumns + 1) * kGap, sheetH = rows * kThumbH + (rows + 1) * kGap;
  std::vector<unsigned char> sheet(size_t(sheetW) * size_t(sheetH) * 3, 40);
  for (int k = 0; k < count; ++k) {
    const Moment& m = kMoments[k];
    const auto rgb = RenderShowMoment(m.position, ClockAtPosition(m.position));
    const int ox = kGap + (k % kColumns) * (kThumbW + kGap), oy = kGap + (k / kColumns) * (kThumbH + kGap);
    Shrink(rgb, sheet, sheetW, ox, oy);
    Label(sheet, sheetW, ox, oy, std::to_string(m.position) + " " + m.phase);
  }
  return WritePNG(argv[0], sheetW, sheetH, sheet.data()) ? 0 : 1;
}
