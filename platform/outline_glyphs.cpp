// Outline glyphs on Linux: fontconfig picks the font file, FreeType reads the
// glyph outlines unscaled, curves are flattened to polylines, and the GLU
// tessellator fills the contours with triangles.
#include "platform/outline_glyphs.h"

#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_OUTLINE_H

#include <GL/gl.h>
#include <GL/glu.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <deque>
#include <string>
#include <vector>

// ---------------------------------------------------------------------------
// Code page

// Unicode code points of Windows-1252 0x80..0x9F; 0 where the code page
// defines no character (0x81, 0x8D, 0x8F, 0x90, 0x9D).
static const uint16_t kCp1252High[32] = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

// The code point of a Windows-1252 byte; 0 for none.
static uint32_t Cp1252ToUnicode(unsigned code) {
  if (code >= 0x80 && code < 0xA0) return kCp1252High[code - 0x80];
  return code < 0x100 ? code : 0;
}

// ---------------------------------------------------------------------------
// Finding the font

// The font file fontconfig offers for `faceName` at that Win32 weight: the face
// itself where installed, else its closest outline substitute.
static bool FindFontFile(const char* faceName, int weight, std::string* path, int* index) {
  if (!FcInit()) return false;
  FcPattern* pattern = FcPatternCreate();
  if (!pattern) return false;
  FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(faceName ? faceName : ""));
  FcPatternAddInteger(pattern, FC_WEIGHT, FcWeightFromOpenType(weight > 0 ? weight : 400));
  FcPatternAddInteger(pattern, FC_SLANT, FC_SLANT_ROMAN);
  FcPatternAddBool(pattern, FC_OUTLINE, FcTrue);
  FcConfigSubstitute(nullptr, pattern, FcMatchPattern);
  FcDefaultSubstitute(pattern);

  // Sorted best first; bitmap fonts have no outlines to fill, so skip them.
  FcResult result = FcResultNoMatch;
  FcFontSet* fonts = FcFontSort(nullptr, pattern, FcFalse, nullptr, &result);
  bool found = false;
  for (int i = 0; fonts && i < fonts->nfont && !found; ++i) {
    FcBool outline = FcFalse;
    FcChar8* file = nullptr;
    if (FcPatternGetBool(fonts->fonts[i], FC_OUTLINE, 0, &outline) != FcResultMatch || !outline) continue;
    if (FcPatternGetString(fonts->fonts[i], FC_FILE, 0, &file) != FcResultMatch) continue;
    *path = reinterpret_cast<const char*>(file);
    if (FcPatternGetInteger(fonts->fonts[i], FC_INDEX, 0, index) != FcResultMatch) *index = 0;
    found = true;
  }
  if (fonts) FcFontSetDestroy(fonts);
  FcPatternDestroy(pattern);
  return found;
}

// ---------------------------------------------------------------------------
// Flattening outlines

struct Vec2 {
  double x, y;  // font units
};

// The contours of one glyph as closed polylines (the closing edge implied).
struct Flattener {
  std::vector<std::vector<Vec2>> contours;
  double tolerance;  // largest distance of a chord from its curve, font units
  Vec2 pen;

  void Add(Vec2 p) {
    std::vector<Vec2>& contour = contours.back();
    if (contour.empty() || contour.back().x != p.x || contour.back().y != p.y) contour.push_back(p);
    pen = p;
  }
  // Chords for a curve whose second derivative is at most `bend` (font units):
  // a chord of parameter length h deviates by at most bend * h^2 / 8.
  int Segments(double bend) const {
    const double n = std::ceil(std::sqrt(bend / (8.0 * tolerance)));
    return int(std::clamp(n, 1.0, 64.0));
  }
};

static Vec2 ToVec(const FT_Vector* v) { return {double(v->x), double(v->y)}; }

static int MoveTo(const FT_Vector* to, void* user) {
  auto* f = static_cast<Flattener*>(user);
  f->contours.emplace_back();
  f->Add(ToVec(to));
  return 0;
}

static int LineTo(const FT_Vector* to, void* user) {
  static_cast<Flattener*>(user)->Add(ToVec(to));
  return 0;
}

static int ConicTo(const FT_Vector* control, const FT_Vector* to, void* user) {
  auto* f = static_cast<Flattener*>(user);
  const Vec2 p0 = f->pen, p1 = ToVec(control), p2 = ToVec(to);
  const double bend = 2.0 * std::hypot(p0.x - 2 * p1.x + p2.x, p0.y - 2 * p1.y + p2.y);
  const int n = f->Segments(bend);
  for (int i = 1; i <= n; ++i) {
    const double t = double(i) / n, s = 1.0 - t;
    f->Add({s * s * p0.x + 2 * s * t * p1.x + t * t * p2.x, s * s * p0.y + 2 * s * t * p1.y + t * t * p2.y});
  }
  return 0;
}

static int CubicTo(const FT_Vector* control1, const FT_Vector* control2, const FT_Vector* to, void* user) {
  auto* f = static_cast<Flattener*>(user);
  const Vec2 p0 = f->pen, p1 = ToVec(control1), p2 = ToVec(control2), p3 = ToVec(to);
  const double bend = 6.0 * std::max(std::hypot(p0.x - 2 * p1.x + p2.x, p0.y - 2 * p1.y + p2.y),
                                     std::hypot(p1.x - 2 * p2.x + p3.x, p1.y - 2 * p2.y + p3.y));
  const int n = f->Segments(bend);
  for (int i = 1; i <= n; ++i) {
    const double t = double(i) / n, s = 1.0 - t;
    const double a = s * s * s, b = 3 * s * s * t, c = 3 * s * t * t, d = t * t * t;
    f->Add({a * p0.x + b * p1.x + c * p2.x + d * p3.x, a * p0.y + b * p1.y + c * p2.y + d * p3.y});
  }
  return 0;
}

// ---------------------------------------------------------------------------
// Filling with the GLU tessellator

// One glyph's tessellation: the vertices fed in and made by the tessellator
// (a deque, so their addresses stay put), and the triangles that came out.
struct TessJob {
  std::deque<std::array<GLdouble, 3>> vertices;  // em units, z = 0
  std::vector<const GLdouble*> primitive;        // the primitive being received
  GLenum mode = GL_TRIANGLES;
  std::vector<GLfloat> triangles;  // x, y of three corners each, counter-clockwise
};

static void AddTriangle(TessJob* job, const GLdouble* a, const GLdouble* b, const GLdouble* c) {
  const double area = (b[0] - a[0]) * (c[1] - a[1]) - (c[0] - a[0]) * (b[1] - a[1]);
  if (area == 0.0) return;
  if (area < 0.0) std::swap(b, c);  // every triangle faces +z, towards the viewer
  for (const GLdouble* v : {a, b, c}) {
    job->triangles.push_back(GLfloat(v[0]));
    job->triangles.push_back(GLfloat(v[1]));
  }
}

// <GL/glu.h> on Linux has no CALLBACK: the callbacks use the platform's C
// calling convention.
static void TessBegin(GLenum mode, void* data) {
  auto* job = static_cast<TessJob*>(data);
  job->mode = mode;
  job->primitive.clear();
}

static void TessVertex(void* vertex, void* data) {
  static_cast<TessJob*>(data)->primitive.push_back(static_cast<const GLdouble*>(vertex));
}

static void TessEnd(void* data) {
  auto* job = static_cast<TessJob*>(data);
  const std::vector<const GLdouble*>& v = job->primitive;
  const size_t n = v.size();
  switch (job->mode) {
    case GL_TRIANGLES:
      for (size_t i = 0; i + 2 < n; i += 3) AddTriangle(job, v[i], v[i + 1], v[i + 2]);
      break;
    case GL_TRIANGLE_FAN:
      for (size_t i = 1; i + 1 < n; ++i) AddTriangle(job, v[0], v[i], v[i + 1]);
      break;
    case GL_TRIANGLE_STRIP:
      for (size_t i = 0; i + 2 < n; ++i) AddTriangle(job, v[i], v[i + 1], v[i + 2]);
      break;
    default:
      break;  // outlines only come with the boundary-only property, never set here
  }
  job->primitive.clear();
}

static void TessCombine(GLdouble coords[3], void* /*vertexData*/[4], GLfloat /*weight*/[4], void** outData,
                        void* data) {
  auto* job = static_cast<TessJob*>(data);
  job->vertices.push_back({coords[0], coords[1], coords[2]});
  *outData = job->vertices.back().data();
}

static void TessError(GLenum /*error*/, void* /*data*/) {
  // A self-crossing the tessellator cannot resolve drops only the pieces it
  // cannot fill; the glyph keeps what was made.
}

template <typename F>
static _GLUfuncptr Callback(F* function) {
  return reinterpret_cast<_GLUfuncptr>(function);
}

// Fills the contours (font units) and returns the triangles in em units.
static std::vector<GLfloat> Tessellate(GLUtesselator* tess, const std::vector<std::vector<Vec2>>& contours,
                                       double unitsPerEm, bool evenOdd) {
  TessJob job;
  gluTessProperty(tess, GLU_TESS_WINDING_RULE, evenOdd ? GLU_TESS_WINDING_ODD : GLU_TESS_WINDING_NONZERO);
  gluTessBeginPolygon(tess, &job);
  for (const std::vector<Vec2>& contour : contours) {
    size_t count = contour.size();
    // The closing edge is implied: drop an explicit return to the start.
    if (count > 1 && contour.front().x == contour.back().x && contour.front().y == contour.back().y) --count;
    if (count < 3) continue;
    gluTessBeginContour(tess);
    for (size_t i = 0; i < count; ++i) {
      job.vertices.push_back({contour[i].x / unitsPerEm, contour[i].y / unitsPerEm, 0.0});
      GLdouble* vertex = job.vertices.back().data();
      gluTessVertex(tess, vertex, vertex);
    }
    gluTessEndContour(tess);
  }
  gluTessEndPolygon(tess);
  return std::move(job.triangles);
}

// ---------------------------------------------------------------------------
// Reading the glyphs

// One glyph: its triangles and metrics. False leaves it without a glyph.
static bool ReadGlyph(FT_Face face, GLUtesselator* tess, FT_UInt glyphIndex, OutlineGlyph* glyph) {
  if (glyphIndex == 0) return false;
  if (FT_Load_Glyph(face, glyphIndex, FT_LOAD_NO_SCALE | FT_LOAD_NO_BITMAP) != 0) return false;
  const FT_GlyphSlot slot = face->glyph;
  if (slot->format != FT_GLYPH_FORMAT_OUTLINE) return false;

  const double em = face->units_per_EM;
  Flattener flattener;
  flattener.tolerance = em / 4096.0;  // finer than any pixel the show draws a text at
  flattener.pen = {0.0, 0.0};
  FT_Outline_Funcs funcs = {MoveTo, LineTo, ConicTo, CubicTo, 0, 0};
  if (FT_Outline_Decompose(&slot->outline, &funcs, &flattener) != 0) return false;
  const bool evenOdd = (slot->outline.flags & FT_OUTLINE_EVEN_ODD_FILL) != 0;
  glyph->triangles = Tessellate(tess, flattener.contours, em, evenOdd);

  GLYPHMETRICSFLOAT* metrics = &glyph->metrics;
  const FT_Glyph_Metrics& m = slot->metrics;  // font units, unscaled
  metrics->gmfBlackBoxX = float(m.width / em);
  metrics->gmfBlackBoxY = float(m.height / em);
  metrics->gmfptGlyphOrigin.x = float(m.horiBearingX / em);
  metrics->gmfptGlyphOrigin.y = float(m.horiBearingY / em);
  metrics->gmfCellIncX = float(m.horiAdvance / em);
  metrics->gmfCellIncY = 0.0f;
  glyph->present = true;
  return true;
}

bool LoadOutlineGlyphs(const char* faceName, int weight, unsigned first, unsigned count,
                       std::vector<OutlineGlyph>* glyphs) {
  std::string path;
  int index = 0;
  if (!FindFontFile(faceName, weight, &path, &index)) return false;

  FT_Library library = nullptr;
  if (FT_Init_FreeType(&library) != 0) return false;
  FT_Face face = nullptr;
  if (FT_New_Face(library, path.c_str(), index, &face) != 0 || !FT_IS_SCALABLE(face) || face->units_per_EM == 0) {
    if (face) FT_Done_Face(face);
    FT_Done_FreeType(library);
    return false;
  }
  FT_Select_Charmap(face, FT_ENCODING_UNICODE);
  GLUtesselator* tess = gluNewTess();
  if (!tess) {
    FT_Done_Face(face);
    FT_Done_FreeType(library);
    return false;
  }
  gluTessNormal(tess, 0.0, 0.0, 1.0);
  gluTessCallback(tess, GLU_TESS_BEGIN_DATA, Callback(TessBegin));
  gluTessCallback(tess, GLU_TESS_VERTEX_DATA, Callback(TessVertex));
  gluTessCallback(tess, GLU_TESS_END_DATA, Callback(TessEnd));
  gluTessCallback(tess, GLU_TESS_COMBINE_DATA, Callback(TessCombine));
  gluTessCallback(tess, GLU_TESS_ERROR_DATA, Callback(TessError));

  glyphs->assign(count, OutlineGlyph());
  for (unsigned i = 0; i < count; ++i) {
    const unsigned code = first + i;
    const uint32_t unicode = Cp1252ToUnicode(code);
    const FT_UInt glyphIndex = unicode ? FT_Get_Char_Index(face, unicode) : 0;
    if (!ReadGlyph(face, tess, glyphIndex, &(*glyphs)[i])) (*glyphs)[i] = OutlineGlyph();
  }

  gluDeleteTess(tess);
  FT_Done_Face(face);
  FT_Done_FreeType(library);
  return true;
}
