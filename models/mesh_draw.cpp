// QTL_DrawObjectTexture: one mesh object, compiled once into a display list.
//
// The list sends exactly what drawing the record triangle by triangle sends:
// the same corners in the same order with the same texture coordinates and the
// constant normal, so the pixels are the same; it leaves the same current
// normal and texture coordinate behind. A list lives in the context that was
// current when it was compiled (like a texture name); the show keeps its one
// context across the window switch, so its lists stay valid for the whole run.
//
// A record is not told when it changes (QTL_3DSMain reloads it in place,
// tests fill records by hand), so each list is keyed on the record's address,
// its triangle count and a 64-bit checksum of the positions and texture
// coordinates it was compiled from. Every draw recomputes the checksum (about
// 20 us for the show's largest frame: 60 bytes a triangle, four lanes) and
// compiles again on any difference; the old list is deleted then.
#include "models/mesh.h"

#include <GL/gl.h>

#include <algorithm>
#include <cstring>

constexpr int32_t kCapacity = int32_t(sizeof(QTL_3DObject::Triangle) / sizeof(QTL_Triangle));
constexpr int kMaxCompiled = 64;  // records with a list at once; the show draws 13

struct CompiledMesh {
  const QTL_3DObject* obj;  // null: a free slot
  GLuint list;              // display list name in the current context
  int32_t count;            // triangles compiled
  uint64_t checksum;        // MeshChecksum of those triangles
};

static struct {
  bool enabled = true;
  CompiledMesh slots[kMaxCompiled] = {};
} Compiled;

// Mixes the 15 floats of every triangle (not NumVertex or padding: drawing
// ignores them) in four independent lanes, so that the multiplies overlap.
static uint64_t MeshChecksum(const QTL_3DObject* obj, int32_t count) {
  constexpr uint64_t kPrime = 0x100000001b3ull;
  uint64_t lane[4] = {0xcbf29ce484222325ull, 0x84222325cbf29ce4ull, 0x9e3779b97f4a7c15ull, 0x7f4a7c159e3779b9ull};
  static_assert(sizeof(TVertex[3]) == 60, "three corners of five floats");
  for (int32_t i = 0; i < count; ++i) {
    uint32_t words[16] = {};
    std::memcpy(words, obj->Triangle[i].Vertex, sizeof(TVertex[3]));
    for (int w = 0; w < 16; w += 4)
      for (int l = 0; l < 4; ++l) lane[l] = (lane[l] ^ words[w + l]) * kPrime;
  }
  return lane[0] ^ (lane[1] << 1) ^ (lane[2] << 2) ^ (lane[3] << 3) ^ uint64_t(count);
}

// The triangles as the record holds them; also what a list is compiled from.
static void SendTriangles(const QTL_3DObject* obj, int32_t count, bool oneBatch) {
  if (oneBatch) {
    // Independent triangles in one batch rasterise exactly as one batch each.
    glBegin(GL_TRIANGLES);
    glNormal3f(0.0f, 0.0f, 1.0f);
    for (int32_t i = 0; i < count; ++i)
      for (const TVertex& corner : obj->Triangle[i].Vertex) {
        glTexCoord2f(corner.u, corner.v);
        glVertex3f(corner.x, corner.y, corner.z);
      }
    glEnd();
    return;
  }
  for (int32_t i = 0; i < count; ++i) {
    // One begin/end pair per triangle, and the same normal for all of them.
    glBegin(GL_TRIANGLES);
    glNormal3f(0.0f, 0.0f, 1.0f);
    for (const TVertex& corner : obj->Triangle[i].Vertex) {
      glTexCoord2f(corner.u, corner.v);
      glVertex3f(corner.x, corner.y, corner.z);
    }
    glEnd();
  }
}

// The slot holding `obj`, else a free one, else null (then it is drawn
// directly: correct, only slower).
static CompiledMesh* SlotFor(const QTL_3DObject* obj) {
  CompiledMesh* free = nullptr;
  for (CompiledMesh& slot : Compiled.slots) {
    if (slot.obj == obj) return &slot;
    if (!slot.obj && !free) free = &slot;
  }
  return free;
}

// A list for the record as it is now, compiled if it has none or the record
// changed since; 0 when none can be made.
static GLuint ListFor(const QTL_3DObject* obj, int32_t count) {
  CompiledMesh* slot = SlotFor(obj);
  if (!slot) return 0;
  const uint64_t checksum = MeshChecksum(obj, count);
  if (slot->obj == obj && slot->count == count && slot->checksum == checksum) return slot->list;

  if (slot->obj) glDeleteLists(slot->list, 1);
  *slot = {};
  const GLuint list = glGenLists(1);
  if (list == 0) return 0;
  glNewList(list, GL_COMPILE);
  SendTriangles(obj, count, true);
  glEndList();
  *slot = {obj, list, count, checksum};
  return list;
}

void QTL_DrawObjectTexture(const QTL_3DObject* Obj, float Posx, float Posy, float Posz, float Rotx, float Roty,
                           float Rotz) {
  // The product stays current: callers reset or save the matrix themselves.
  glTranslatef(Posx, Posy, Posz);
  glRotatef(Rotx, 1.0f, 0.0f, 0.0f);
  glRotatef(Roty, 0.0f, 1.0f, 0.0f);
  glRotatef(Rotz, 0.0f, 0.0f, 1.0f);

  // A record filled by hand may claim more triangles than it holds.
  const int32_t count = std::clamp(Obj->NumTriangles, 0, kCapacity);
  if (count == 0) return;  // sends nothing, as drawing no triangle does
  const GLuint list = Compiled.enabled ? ListFor(Obj, count) : 0;
  if (list != 0)
    glCallList(list);
  else
    SendTriangles(Obj, count, false);
}

void QTL_UseCompiledMeshes(bool on) { Compiled.enabled = on; }

void QTL_ForgetCompiledMeshes() {
  for (CompiledMesh& slot : Compiled.slots) slot = {};
}
