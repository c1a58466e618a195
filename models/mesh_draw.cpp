// QTL_DrawObjectTexture: one mesh object in immediate mode.
#include "models/mesh.h"

#include <GL/gl.h>

#include <algorithm>

void QTL_DrawObjectTexture(const QTL_3DObject* Obj, float Posx, float Posy, float Posz, float Rotx, float Roty,
                           float Rotz) {
  // The product stays current: callers reset or save the matrix themselves.
  glTranslatef(Posx, Posy, Posz);
  glRotatef(Rotx, 1.0f, 0.0f, 0.0f);
  glRotatef(Roty, 0.0f, 1.0f, 0.0f);
  glRotatef(Rotz, 0.0f, 0.0f, 1.0f);

  // A record filled by hand may claim more triangles than it holds.
  constexpr int32_t kCapacity = int32_t(sizeof(Obj->Triangle) / sizeof(Obj->Triangle[0]));
  const int32_t count = std::min(Obj->NumTriangles, kCapacity);
  for (int32_t i = 0; i < count; ++i) {
    const QTL_Triangle& triangle = Obj->Triangle[i];
    // One begin/end pair per triangle, and the same normal for all of them.
    glBegin(GL_TRIANGLES);
    glNormal3f(0.0f, 0.0f, 1.0f);
    for (const TVertex& corner : triangle.Vertex) {
      glTexCoord2f(corner.u, corner.v);
      glVertex3f(corner.x, corner.y, corner.z);
    }
    glEnd();
  }
}
