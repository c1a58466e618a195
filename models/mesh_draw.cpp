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
// tests fill records by hand), so each list keeps a copy of the triangles it
// was compiled from, and every draw compares the record with it (one memcmp:
// about 5 us for the show's largest frame, where a checksum cost 40 to 150 us)
// and compiles again on any difference; the old list is deleted then.
#include "models/mesh.h"

#include <GL/gl.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>

constexpr int32_t kCapacity = int32_t(sizeof(QTL_3DObject::Triangle) / sizeof(QTL_Triangle));
constexpr int kMaxCompiled = 64;  // records with a list at once; the show draws 13

struct CompiledMesh {
  const QTL_3DObject* obj;  // null: a free slot
  GLuint list;              // display list name in the current context
  int32_t count;            // triangles compiled
  QTL_Triangle* copy;       // those triangles, malloc'd
};

static struct {
  bool enabled = true;
  CompiledMesh slots[kMaxCompiled] = {};
} Compiled;

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

static void Release(CompiledMesh* slot, bool deleteList) {
  if (slot->obj && deleteList) glDeleteLists(slot->list, 1);
  std::free(slot->copy);
  *slot = {};
}

// A list for the record as it is now, compiled if it has none or the record
// changed since; 0 when none can be made.
static GLuint ListFor(const QTL_3DObject* obj, int32_t count) {
  CompiledMesh* slot = SlotFor(obj);
  if (!slot) return 0;
  const size_t bytes = size_t(count) * sizeof(QTL_Triangle);
  if (slot->obj == obj && slot->count == count && std::memcmp(slot->copy, obj->Triangle, bytes) == 0)
    return slot->list;

  Release(slot, true);
  QTL_Triangle* copy = static_cast<QTL_Triangle*>(std::malloc(bytes));
  const GLuint list = copy ? glGenLists(1) : 0;
  if (list == 0) {
    std::free(copy);
    return 0;
  }
  std::memcpy(copy, obj->Triangle, bytes);
  glNewList(list, GL_COMPILE);
  SendTriangles(obj, count, true);
  glEndList();
  *slot = {obj, list, count, copy};
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
  for (CompiledMesh& slot : Compiled.slots) Release(&slot, false);
}
