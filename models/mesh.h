// Mesh objects: models loaded from 3D Studio (.3DS) files into fixed-capacity
// records of self-contained triangles, and drawn with OpenGL.
//
// Units: positions in the file's model units, angles in degrees. Threads: main
// thread only; drawing needs the OpenGL context current.
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

// Why a model file was not loaded.
enum class ModelProblem {
  None,
  NotFound,    // no such file
  NotRegular,  // a FIFO, a device, a socket: never opened
  Unreadable,  // there, but cannot be read
  NotA3DS,     // no main chunk at its start, or no vertex or face list at all
};
// "not found", "not a regular file", "cannot be read", "not a 3DS model".
const char* ModelProblemText(ModelProblem problem);

// Loads `Filename` (a Windows-style name) into `Obj`. False when the file
// cannot be opened or is not a 3DS model: one line on stdout naming the file
// and why, Obj untouched, the reason in *problem (may be null). Overflows
// show the "Internal overflow!" box and still return true. Records are large
// (2.5 MB): keep them static or on the heap.
bool QTL_3DSMain(const char* Filename, QTL_3DObject* Obj, ModelProblem* problem = nullptr);

// Translates, rotates about x, y, z (degrees) the current matrix, leaving the
// product current, and draws every triangle with its texture coordinates and
// the normal (0, 0, 1), which stay current afterwards (the last corner's u, v).
// The triangles are compiled into a display list on the record's first draw
// and again whenever its contents change; the list belongs to the context
// current then.
void QTL_DrawObjectTexture(const QTL_3DObject* Obj, float Posx, float Posy, float Posz, float Rotx, float Roty,
                           float Rotz);

// For tests and the bench only: false draws every record triangle by
// triangle, with no display list, as a reference for the compiled drawing.
void QTL_UseCompiledMeshes(bool on);

// The context holding the compiled lists is gone (the lists with it): forget
// them without touching OpenGL. Called by whoever destroys a context that
// drew meshes and may make another.
void QTL_ForgetCompiledMeshes();
