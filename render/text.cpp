// Placeholder until outline text lands.
#include "render/text.h"

int BuildFont() { return 0; }
void KillFont() {}
void glPrint(const char*, ...) {}
void DrawTextAt(float, float, float, const char*, float) {}
float FontAdvance(unsigned char) { return 0.0f; }
