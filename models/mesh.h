// Mesh objects: models loaded from 3D Studio (.3DS) files into fixed-capacity
// records of self-contained triangles, drawn in immediate mode.
#pragma once

#include <cstdint>

struct TVertex {
  float x, y, z;  // position, in the file's model units
  float u, v;     // texture coordinates, as stored
};

struct QTL_Triangle {
  uint8_t NumVertex;  // always 3
  TVertex Vertex[3];  // corners in the file's order (winding kept)
};

struct QTL_3DObject {
  int32_t NumTriangles;           // valid entries of Triangle
  QTL_Triangle Triangle[40000];
};

// Loads `Filename` (a Windows-style name) into `Obj`. False only when the file
// cannot be opened (a message on stdout; Obj untouched). Overflows show the
// "Internal overflow!" box and still return true. Records are large (2.5 MB):
// keep them static or on the heap.
bool QTL_3DSMain(const char* Filename, QTL_3DObject* Obj);

// Translates, rotates about x, y, z (degrees) the current matrix, leaving the
// product current, and draws every triangle with its texture coordinates.
void QTL_DrawObjectTexture(const QTL_3DObject* Obj, float Posx, float Posy, float Posz, float Rotx, float Roty,
                           float Rotz);
