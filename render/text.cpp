// Outline text: 256 glyph display lists of the bold "Georgia" (or its closest
// substitute), printed centred on the current origin.
#include "render/text.h"

#include "platform/outline_font.h"

#include <GL/gl.h>

#include <cstdarg>
#include <cstdio>
#include <cstring>

static GLuint base = 0;                // first of the 256 glyph lists; list base + c draws code c
static GLYPHMETRICSFLOAT gmf[256] = {};  // per code, em units; entries never built stay zero

int BuildFont() {
  base = glGenLists(256);
  // Codes 0 to 254: list base + 255 stays empty and gmf[255] zero.
  return UseFontOutlines(kFontFace, kFontWeight, kFontFirstCode, kFontCodes, base, gmf) ? 1 : 0;
}

void KillFont() { glDeleteLists(base, 256); }

void glPrint(const char* fmt, ...) {
  if (!fmt) return;
  char text[256];  // longer texts are cut at 255 characters
  va_list ap;
  va_start(ap, fmt);
  std::vsnprintf(text, sizeof text, fmt, ap);
  va_end(ap);

  const size_t count = std::strlen(text);
  float length = 0.0f;  // em units
  for (size_t loop = 0; loop < count; ++loop) length += gmf[static_cast<unsigned char>(text[loop])].gmfCellIncX;

  // Left on the matrix: the caller brackets it.
  glTranslatef(-length / 2.0f, 0.0f, 0.0f);
  glPushAttrib(GL_LIST_BIT);
  glListBase(base);
  glCallLists(GLsizei(count), GL_UNSIGNED_BYTE, text);
  glPopAttrib();
}

void DrawTextAt(float x, float y, float z, const char* text, float opacity) {
  glPushMatrix();
  glEnable(GL_BLEND);
  glEnable(GL_POLYGON_SMOOTH);
  glTranslatef(x, y, z);
  glColor4f(1.0f, 1.0f, 1.0f, opacity / 100.0f);
  glPrint("%s", text ? text : "");  // literal: a "%" in the text prints itself
  glDisable(GL_POLYGON_SMOOTH);
  glDisable(GL_BLEND);
  glPopMatrix();
}

float FontAdvance(unsigned char c) { return gmf[c].gmfCellIncX; }
