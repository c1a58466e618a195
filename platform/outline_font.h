// Outline glyphs as OpenGL display lists: the stand-in for CreateFontA and
// wglUseFontOutlinesA, over the glyphs' triangles (platform/outline_glyphs.h).
//
// Units: em units throughout (the em height is 1.0). Codes are Windows-1252.
// Memory: the font file and the tessellator are opened and closed within the
// call; the display lists named by the caller are the caller's to delete
// (glDeleteLists). Threads: main thread only, with the OpenGL context current.
#pragma once

#include "platform/outline_glyphs.h"

// Finds `faceName` (bold when weight >= 700), or the closest substitute, and
// fills display list listBase + (c - first) for each Windows-1252 code
// c = first .. first + count - 1. Each list draws its glyph filled in the
// plane z = 0, baseline on y = 0, facing +z, and then translates the origin by
// the advance; metrics[c - first] receives the glyph's metrics. A code without a
// glyph draws nothing and advances 0. Needs a current OpenGL context.
// Returns false when no font can be loaded.
bool UseFontOutlines(const char* faceName, int weight, unsigned first, unsigned count, unsigned listBase,
                     GLYPHMETRICSFLOAT* metrics);
