// glBegin/glEnd and display lists, and the draws they make.
//
// A begin/end batch is turned into independent triangles, split as llvmpipe
// splits each primitive, so that the same pixels are covered. Immediate mode
// uploads the batch at glEnd into one streaming buffer and draws it once. A
// display list keeps all its batches in one static buffer and replays a
// short command list: a mesh costs one draw per frame.
//
// Each batch attribute (normal, colour, texture coordinate) is stored per
// vertex only where it varies. One a list never set is taken from the current
// state when the list runs, as OpenGL does; one set partway through a list
// batch makes that batch be rebuilt and streamed each time it is drawn.
#include "platform/web/gl_fixed_function.h"
#include "platform/web/gl_ff_internal.h"

#include <cstring>
#include <vector>

enum Attr { kNormal, kColor, kTex, kAttrs };
static const int kAttrFloats[kAttrs] = {3, 4, 2};  // floats stored per vertex
static const GLuint kAttrLocation[kAttrs] = {kAttribNormal, kAttribColor, kAttribTexCoord};

constexpr GLuint kMaxListName = 65536;  // list names the layer takes
constexpr int kMaxNesting = 64;         // OpenGL's GL_MAX_LIST_NESTING

// A vertex as glVertex captured it.
struct Captured {
  float pos[3];
  float attr[kAttrs][4];
};

enum Source : uint8_t { kFromCurrent, kConstant, kPerVertex };

struct Batch {
  GLsizei count;    // triangle vertices
  GLintptr offset;  // bytes into the buffer
  GLsizei stride;   // bytes per vertex
  Source source[kAttrs];
  GLintptr attrOffset[kAttrs];  // bytes into a vertex, for kPerVertex
  float constant[kAttrs][4];    // for kConstant
  bool setInside[kAttrs];       // given between glBegin and glEnd: current afterwards
  float lastSet[kAttrs][4];
  // Set partway through: the batch as captured, streamed at each draw.
  GLenum mode;
  int firstKnown[kAttrs];
  std::vector<Captured> mixed;
};

enum CommandKind : uint8_t {
  kCmdBatch, kCmdAttr, kCmdTranslate, kCmdRotate, kCmdScale, kCmdCallList, kCmdCallOffset, kCmdListBase
};

struct Command {
  CommandKind kind;
  int index;  // the batch, the attribute, or the list name or offset
  float v[4];
};

struct DisplayList {
  bool reserved;  // named by glGenLists or glNewList
  bool defined;   // compiled
  GLuint buffer;  // 0 when it holds no static vertices
  std::vector<Command> commands;
  std::vector<Batch> batches;
};

// The module's state: the lists by name, the batch being captured, the list
// being compiled, the streaming buffer, and counts.
static struct {
  std::vector<DisplayList> lists;  // indexed by name; [0] unused
  bool inside;                     // between glBegin and glEnd
  GLenum mode;
  std::vector<Captured> vertices;
  int firstKnown[kAttrs];
  bool setInside[kAttrs];
  float lastSet[kAttrs][4];
  bool compiling;
  bool executeAfter;  // GL_COMPILE_AND_EXECUTE
  GLuint compilingName;
  DisplayList pending;
  std::vector<unsigned char> pendingData;  // the pending list's vertices
  bool listKnows[kAttrs];                  // the pending list has set the attribute
  float listValue[kAttrs][4];
  GLuint stream;
  std::vector<unsigned char> scratch;
  bool arrayOn[4];  // vertex attribute arrays enabled, by location
  int depth;        // lists running inside lists
  long draws, drawnVertices;
} Draw;

bool FFCompilingList() { return Draw.compiling; }
bool FFInsideBeginEnd() { return Draw.inside; }
void FFNoteInside(int attribute) {
  if (Draw.inside && attribute >= 0 && attribute < kAttrs) Draw.setInside[attribute] = true;
}
long FFDrawCount() { return Draw.draws; }
long FFVertexCount() { return Draw.drawnVertices; }

void FFDrawStart() {
  glGenBuffers(1, &Draw.stream);
  glEnableVertexAttribArray(kAttribPosition);
  for (bool& on : Draw.arrayOn) on = false;
  Draw.arrayOn[kAttribPosition] = true;
}

void FFDrawForget() {
  Draw.lists.clear();
  Draw.inside = Draw.compiling = false;
  Draw.vertices.clear();
  Draw.pending = {};
  Draw.pendingData.clear();
  Draw.stream = 0;
  Draw.depth = 0;
  Draw.draws = Draw.drawnVertices = 0;
}

// ---------------------------------------------------------------------------
// Primitives as triangles

// The corners of every triangle of `n` vertices of `mode`, in the order
// llvmpipe hands them to its rasteriser (the last vertex leading).
static void Triangulate(GLenum mode, int n, bool immediate, std::vector<int>* out) {
  auto tri = [out](int a, int b, int c) { out->insert(out->end(), {a, b, c}); };
  switch (mode) {
    case GL_TRIANGLES:
      for (int i = 0; i + 2 < n; i += 3) tri(i, i + 1, i + 2);
      break;
    case GL_TRIANGLE_STRIP:
      for (int i = 2; i < n; ++i) tri(i + (i & 1) - 2, i - (i & 1) - 1, i);
      break;
    case GL_TRIANGLE_FAN:
      for (int i = 2; i < n; ++i) tri(0, i - 1, i);
      break;
    case kGlQuads:
      // Mesa draws a lone quad given in immediate mode as a fan, split on
      // the other diagonal; in a list it stays a quad.
      if (immediate && n == 4) tri(0, 1, 2), tri(0, 2, 3);
      else
        for (int i = 0; i + 3 < n; i += 4) tri(i, i + 1, i + 3), tri(i + 1, i + 2, i + 3);
      break;
    case kGlQuadStrip:
      for (int i = 3; i < n; i += 2) tri(i - 3, i - 2, i), tri(i - 1, i - 3, i);
      break;
    case kGlPolygon:
      for (int i = 2; i < n; ++i) tri(i - 1, i, 0);
      break;
    default:
      break;  // points and lines are not drawn
  }
}

// Lays the captured vertices out as triangles at the end of `data`, each
// attribute per vertex only where it varies, and describes them in `b`.
// `firstKnown` says from which vertex on each attribute is the captured one.
static void BuildBatch(GLenum mode, const std::vector<Captured>& v, const int firstKnown[kAttrs], bool immediate,
                       Batch* b, std::vector<unsigned char>* data) {
  std::vector<int> corners;
  Triangulate(mode, int(v.size()), immediate, &corners);
  b->count = GLsizei(corners.size());
  int floats = 3;
  for (int a = 0; a < kAttrs; ++a) {
    b->source[a] = kConstant;
    if (firstKnown[a] >= int(v.size())) b->source[a] = kFromCurrent;
    for (int i : corners)
      if (b->source[a] == kConstant && std::memcmp(v[i].attr[a], v[corners[0]].attr[a], 16) != 0)
        b->source[a] = kPerVertex;
    if (b->source[a] == kConstant && !corners.empty()) std::memcpy(b->constant[a], v[corners[0]].attr[a], 16);
    b->attrOffset[a] = GLintptr(floats) * 4;
    if (b->source[a] == kPerVertex) floats += kAttrFloats[a];
  }
  b->stride = GLsizei(floats * 4);
  b->offset = GLintptr(data->size());
  data->resize(data->size() + corners.size() * size_t(b->stride));
  float* out = reinterpret_cast<float*>(data->data() + b->offset);
  for (int i : corners) {
    std::memcpy(out, v[i].pos, 12);
    for (int a = 0; a < kAttrs; ++a)
      if (b->source[a] == kPerVertex) std::memcpy(out + b->attrOffset[a] / 4, v[i].attr[a], size_t(kAttrFloats[a]) * 4);
    out += floats;
  }
}

static void SetArray(GLuint location, bool on) {
  if (Draw.arrayOn[location] == on) return;
  Draw.arrayOn[location] = on;
  on ? glEnableVertexAttribArray(location) : glDisableVertexAttribArray(location);
}

static const float* CurrentValue(int a) {
  const FFState& s = FFCurrentState();
  return a == kNormal ? s.normal : a == kColor ? s.color : s.texCoord;
}

static void DrawBatch(const Batch& b, GLuint buffer) {
  const FFBatchInputs inputs = {b.setInside[kColor], b.setInside[kTex],
                                b.source[kColor] == kConstant ? b.constant[kColor] : CurrentValue(kColor),
                                b.source[kTex] == kConstant ? b.constant[kTex] : CurrentValue(kTex)};
  if (b.count == 0 || !FFUseProgram(inputs)) return;
  glBindBuffer(GL_ARRAY_BUFFER, buffer);
  glVertexAttribPointer(kAttribPosition, 3, GL_FLOAT, GL_FALSE, b.stride, reinterpret_cast<const void*>(b.offset));
  for (int a = 0; a < kAttrs; ++a) {
    const GLuint location = kAttrLocation[a];
    SetArray(location, b.source[a] == kPerVertex);
    if (b.source[a] == kPerVertex)
      glVertexAttribPointer(location, kAttrFloats[a], GL_FLOAT, GL_FALSE, b.stride,
                            reinterpret_cast<const void*>(b.offset + b.attrOffset[a]));
    else if (a == kNormal)
      glVertexAttrib3fv(location, b.source[a] == kConstant ? b.constant[a] : CurrentValue(a));
    else
      glVertexAttrib4fv(location, b.source[a] == kConstant ? b.constant[a] : CurrentValue(a));
  }
  glDrawArrays(GL_TRIANGLES, 0, b.count);
  ++Draw.draws;
  Draw.drawnVertices += b.count;
}

// Draws captured vertices now, through the streaming buffer; `setInside`
// says which attributes were given between glBegin and glEnd.
static void DrawStreamed(GLenum mode, const std::vector<Captured>& v, bool immediate, const bool setInside[kAttrs]) {
  static const int kAllKnown[kAttrs] = {0, 0, 0};
  Batch b = {};
  for (int a = 0; a < kAttrs; ++a) b.setInside[a] = setInside[a];
  Draw.scratch.clear();
  BuildBatch(mode, v, kAllKnown, immediate, &b, &Draw.scratch);
  if (b.count == 0) return;
  glBindBuffer(GL_ARRAY_BUFFER, Draw.stream);
  glBufferData(GL_ARRAY_BUFFER, GLsizeiptr(Draw.scratch.size()), Draw.scratch.data(), GL_STREAM_DRAW);
  DrawBatch(b, Draw.stream);
}

static void SetCurrent(int a, const float* value) {
  if (a == kNormal) FFSetCurrentNormal(value);
  else if (a == kColor) FFSetCurrentColor(value);
  else FFSetCurrentTexCoord(value);
}

// A compiled batch as it runs: drawn, then what it set becomes current.
static void RunBatch(const DisplayList& list, const Batch& b) {
  if (!b.mixed.empty()) {
    std::vector<Captured> v = b.mixed;
    for (int a = 0; a < kAttrs; ++a)
      for (int i = 0; i < b.firstKnown[a] && i < int(v.size()); ++i) std::memcpy(v[i].attr[a], CurrentValue(a), 16);
    DrawStreamed(b.mode, v, false, b.setInside);
  } else {
    DrawBatch(b, list.buffer);
  }
  for (int a = 0; a < kAttrs; ++a)
    if (b.setInside[a]) SetCurrent(a, b.lastSet[a]);
}

// ---------------------------------------------------------------------------
// Begin, vertices, end

extern "C" void ffglBegin(unsigned int mode) {
  if (Draw.inside) return FFSetError(GL_INVALID_OPERATION);
  if (mode > kGlPolygon) return FFSetError(GL_INVALID_ENUM);
  Draw.inside = true;
  Draw.mode = mode;
  Draw.vertices.clear();
  for (int a = 0; a < kAttrs; ++a) {
    Draw.firstKnown[a] = Draw.compiling && !Draw.listKnows[a] ? -1 : 0;  // -1: not yet
    Draw.setInside[a] = false;
  }
}

static void Capture(float x, float y, float z) {
  if (!Draw.inside) return;  // outside begin/end a vertex does nothing
  Captured c = {{x, y, z}, {}};
  for (int a = 0; a < kAttrs; ++a) {
    const float* value = Draw.compiling ? Draw.listValue[a] : CurrentValue(a);
    std::memcpy(c.attr[a], value, size_t(a == kNormal ? 3 : 4) * 4);
    if (Draw.compiling && Draw.listKnows[a] && Draw.firstKnown[a] < 0) Draw.firstKnown[a] = int(Draw.vertices.size());
  }
  Draw.vertices.push_back(c);
}

extern "C" void ffglVertex3f(float x, float y, float z) { Capture(x, y, z); }
extern "C" void ffglVertex2f(float x, float y) { Capture(x, y, 0.0f); }

extern "C" void ffglEnd(void) {
  if (!Draw.inside) return FFSetError(GL_INVALID_OPERATION);
  Draw.inside = false;
  if (!Draw.compiling) return DrawStreamed(Draw.mode, Draw.vertices, true, Draw.setInside);

  DisplayList& list = Draw.pending;
  Batch b = {};
  b.mode = Draw.mode;
  for (int a = 0; a < kAttrs; ++a) {
    b.firstKnown[a] = Draw.firstKnown[a] < 0 ? int(Draw.vertices.size()) : Draw.firstKnown[a];
    b.setInside[a] = Draw.setInside[a];
    std::memcpy(b.lastSet[a], Draw.lastSet[a], 16);
  }
  bool mixed = false;
  for (int a = 0; a < kAttrs; ++a) mixed |= b.firstKnown[a] > 0 && b.firstKnown[a] < int(Draw.vertices.size());
  if (mixed) b.mixed = Draw.vertices;
  else BuildBatch(Draw.mode, Draw.vertices, b.firstKnown, false, &b, &Draw.pendingData);
  list.commands.push_back({kCmdBatch, int(list.batches.size()), {}});
  list.batches.push_back(std::move(b));
}

// ---------------------------------------------------------------------------
// Recording

static void RecordAttr(int a, const float* value) {
  std::memcpy(Draw.listValue[a], value, 16);
  Draw.listKnows[a] = true;
  if (Draw.inside) {
    Draw.setInside[a] = true;
    std::memcpy(Draw.lastSet[a], value, 16);
    return;
  }
  Command c = {kCmdAttr, a, {}};
  std::memcpy(c.v, value, 16);
  Draw.pending.commands.push_back(c);
}

void FFRecordNormal(const float n[3]) {
  const float v[4] = {n[0], n[1], n[2], 0};
  RecordAttr(kNormal, v);
}
void FFRecordColor(const float c[4]) { RecordAttr(kColor, c); }
void FFRecordTexCoord(const float t[4]) { RecordAttr(kTex, t); }

void FFRecordMatrix(FFRecordKind kind, const float v[4]) {
  if (Draw.inside) return FFSetError(GL_INVALID_OPERATION);
  const CommandKind k = kind == kRecordTranslate ? kCmdTranslate : kind == kRecordRotate ? kCmdRotate : kCmdScale;
  Draw.pending.commands.push_back({k, 0, {v[0], v[1], v[2], v[3]}});
}

// ---------------------------------------------------------------------------
// Lists

static DisplayList* ListNamed(GLuint name) {
  return name > 0 && name < Draw.lists.size() ? &Draw.lists[name] : nullptr;
}

static void Release(DisplayList* list) {
  if (list->buffer) glDeleteBuffers(1, &list->buffer);
  *list = {};
}

static void RunList(GLuint name) {
  const DisplayList* list = ListNamed(name);
  if (!list || !list->defined || Draw.depth >= kMaxNesting) return;
  ++Draw.depth;
  // Running never compiles, so the lists cannot move under this loop.
  for (const Command& c : list->commands) {
    switch (c.kind) {
      case kCmdBatch: RunBatch(*list, list->batches[size_t(c.index)]); break;
      case kCmdAttr: SetCurrent(c.index, c.v); break;
      case kCmdTranslate: FFRunTranslate(c.v[0], c.v[1], c.v[2]); break;
      case kCmdRotate: FFRunRotate(c.v[0], c.v[1], c.v[2], c.v[3]); break;
      case kCmdScale: FFRunScale(c.v[0], c.v[1], c.v[2]); break;
      case kCmdCallList: RunList(GLuint(c.index)); break;
      case kCmdCallOffset: RunList(FFCurrentState().listBase + GLuint(c.index)); break;
      case kCmdListBase: FFEditState().listBase = GLuint(c.index); break;
    }
  }
  --Draw.depth;
}

extern "C" unsigned int ffglGenLists(int range) {
  if (range <= 0 || FFInsideBeginEnd()) return 0;
  GLuint first = 1;
  for (GLuint name = 1; name < kMaxListName; ++name) {
    if (name < Draw.lists.size() && Draw.lists[name].reserved) {
      first = name + 1;
      continue;
    }
    if (name - first + 1 == GLuint(range)) {
      if (Draw.lists.size() <= name) Draw.lists.resize(name + 1);
      for (GLuint n = first; n <= name; ++n) Draw.lists[n].reserved = true;
      return first;
    }
  }
  return 0;
}

extern "C" void ffglNewList(unsigned int list, unsigned int mode) {
  if (Draw.compiling || Draw.inside) return FFSetError(GL_INVALID_OPERATION);
  if (list == 0 || list >= kMaxListName) return FFSetError(GL_INVALID_VALUE);
  if (mode != kGlCompile && mode != kGlCompileAndExecute) return FFSetError(GL_INVALID_ENUM);
  Draw.compiling = true;
  Draw.executeAfter = mode == kGlCompileAndExecute;
  Draw.compilingName = list;
  Draw.pending = {};
  Draw.pendingData.clear();
  for (bool& known : Draw.listKnows) known = false;
}

extern "C" void ffglEndList(void) {
  if (!Draw.compiling || Draw.inside) return FFSetError(GL_INVALID_OPERATION);
  Draw.compiling = false;
  DisplayList& pending = Draw.pending;
  pending.reserved = pending.defined = true;
  if (!Draw.pendingData.empty()) {
    glGenBuffers(1, &pending.buffer);
    glBindBuffer(GL_ARRAY_BUFFER, pending.buffer);
    glBufferData(GL_ARRAY_BUFFER, GLsizeiptr(Draw.pendingData.size()), Draw.pendingData.data(), GL_STATIC_DRAW);
  }
  Draw.pendingData.clear();
  Draw.pendingData.shrink_to_fit();
  const GLuint name = Draw.compilingName;
  if (Draw.lists.size() <= name) Draw.lists.resize(name + 1);
  Release(&Draw.lists[name]);
  Draw.lists[name] = std::move(pending);
  Draw.pending = {};
  if (Draw.executeAfter) RunList(name);
}

extern "C" void ffglCallList(unsigned int list) {
  if (Draw.compiling) return Draw.pending.commands.push_back({kCmdCallList, int(list), {}});
  RunList(list);
}

extern "C" void ffglCallLists(int n, unsigned int type, const void* lists) {
  if (n < 0) return FFSetError(GL_INVALID_VALUE);
  for (int i = 0; i < n; ++i) {
    GLuint offset = 0;
    switch (type) {
      case GL_UNSIGNED_BYTE: offset = static_cast<const GLubyte*>(lists)[i]; break;
      case GL_BYTE: offset = GLuint(static_cast<const GLbyte*>(lists)[i]); break;
      case GL_UNSIGNED_SHORT: offset = static_cast<const GLushort*>(lists)[i]; break;
      case GL_SHORT: offset = GLuint(static_cast<const GLshort*>(lists)[i]); break;
      case GL_UNSIGNED_INT: offset = static_cast<const GLuint*>(lists)[i]; break;
      case GL_INT: offset = GLuint(static_cast<const GLint*>(lists)[i]); break;
      default: return FFSetError(GL_INVALID_ENUM);
    }
    // The base applies when the call runs, also when a list holds it.
    if (Draw.compiling) Draw.pending.commands.push_back({kCmdCallOffset, int(offset), {}});
    else RunList(FFCurrentState().listBase + offset);
  }
}

extern "C" void ffglListBase(unsigned int base) {
  if (Draw.inside) return FFSetError(GL_INVALID_OPERATION);
  if (Draw.compiling) return Draw.pending.commands.push_back({kCmdListBase, int(base), {}});
  FFEditState().listBase = base;
}

extern "C" void ffglDeleteLists(unsigned int list, int range) {
  if (range < 0) return FFSetError(GL_INVALID_VALUE);
  for (GLuint name = list; name - list < GLuint(range); ++name)
    if (DisplayList* l = ListNamed(name)) Release(l);
}

extern "C" unsigned char ffglIsList(unsigned int list) {
  const DisplayList* l = ListNamed(list);
  return l && l->defined ? GL_TRUE : GL_FALSE;
}
