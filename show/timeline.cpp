// Placeholder until the scenes land: a cleared frame, every frame.
#include "show/timeline.h"

#include <GL/gl.h>

bool ShowLoadAll() { return true; }
int ShowFrame() {
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
  glLoadIdentity();
  return 1;
}
void ShowFreeAll() {}
