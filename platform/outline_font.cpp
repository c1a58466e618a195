// The glyphs' display lists: each draws its triangles in z = 0, facing +z,
// then moves the origin by the advance, as wglUseFontOutlinesA's lists do.
#include "platform/outline_font.h"

#include "platform/outline_glyphs.h"

#include <GL/gl.h>

#include <cstddef>
#include <vector>

static void CompileGlyph(GLuint list, const OutlineGlyph& glyph) {
  glNewList(list, GL_COMPILE);
  if (!glyph.triangles.empty()) {
    glNormal3f(0.0f, 0.0f, 1.0f);
    glBegin(GL_TRIANGLES);
    const std::vector<float>& corners = glyph.triangles;
    for (size_t i = 0; i + 1 < corners.size(); i += 2) glVertex3f(corners[i], corners[i + 1], 0.0f);
    glEnd();
  }
  const GLfloat advance = glyph.metrics.gmfCellIncX;
  if (advance != 0.0f) glTranslatef(advance, 0.0f, 0.0f);
  glEndList();
}

bool UseFontOutlines(const char* faceName, int weight, unsigned first, unsigned count, unsigned listBase,
                     GLYPHMETRICSFLOAT* metrics) {
  std::vector<OutlineGlyph> glyphs;
  if (!LoadOutlineGlyphs(faceName, weight, first, count, &glyphs) || glyphs.size() != count) return false;
  for (unsigned i = 0; i < count; ++i) {
    const OutlineGlyph& glyph = glyphs[i].present ? glyphs[i] : OutlineGlyph();
    metrics[i] = glyph.metrics;
    CompileGlyph(listBase + i, glyph);
  }
  return true;
}
