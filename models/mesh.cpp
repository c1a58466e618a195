// Placeholder until the model loader lands.
#include "models/mesh.h"

bool QTL_3DSMain(const char*, QTL_3DObject*) { return false; }
void QTL_DrawObjectTexture(const QTL_3DObject*, float, float, float, float, float, float) {}
