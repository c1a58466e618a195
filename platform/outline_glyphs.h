// Outline glyphs as triangles: the shapes wglUseFontOutlinesA fills, before
// they become display lists (platform/outline_font.h). On Linux fontconfig
// picks the font file, FreeType reads the outlines unscaled, curves are
// flattened to polylines and the GLU tessellator fills them; in a browser,
// where none of those exist, the same triangles come from a file baked at
// build time (platform/glyph_file.h), so the text's pixels are the same.
//
// Units: em units (the em height is 1.0). Codes are Windows-1252.
#pragma once

#include <vector>

// Metrics of one glyph, in em units (the font's em height is 1.0).
struct GLYPHMETRICSFLOAT {
  float gmfBlackBoxX;
  float gmfBlackBoxY;
  struct {
    float x;
    float y;
  } gmfptGlyphOrigin;
  float gmfCellIncX;  // the advance: how far the origin moves after the glyph
  float gmfCellIncY;
};

struct OutlineGlyph {
  bool present = false;            // false: no glyph for the code (draws nothing, advances 0)
  GLYPHMETRICSFLOAT metrics = {};  // zero where absent
  std::vector<float> triangles;    // x, y of three corners each, counter-clockwise, in z = 0
};

// The glyphs of codes first .. first + count - 1 of `faceName` (bold when
// weight >= 700) or its closest substitute. False when no font can be loaded.
bool LoadOutlineGlyphs(const char* faceName, int weight, unsigned first, unsigned count,
                       std::vector<OutlineGlyph>* glyphs);
