#include "render/overlay.h"

#include <GL/gl.h>

// The quad lies a hair inside the near plane (0.1): exactly on it, rounding
// may clip it away on some rasterisers. At this depth it still covers the
// whole viewport of the 45-degree projection many times over.
static const float kQuadDepth = -0.1001f;

static struct {
  bool skipSpent = true;
} Overlay;

int DrawOverlayQuad(uint32_t k) {
  const float alpha = 1.0f - float(k) * 0.001f;  // k >= 1000: nothing changes
  if (k >= 1000 && Overlay.skipSpent) {
    // What the quad would leave: later drawing (the next frame's castle
    // clouds) takes the current colour, alpha included, unclamped.
    glColor4f(1.0f, 1.0f, 1.0f, alpha);
    glDisable(GL_BLEND);
    return 0;
  }
  glPushMatrix();
  glTranslatef(0.0f, 0.0f, kQuadDepth);
  glEnable(GL_BLEND);
  glBegin(GL_QUADS);
  glColor4f(1.0f, 1.0f, 1.0f, alpha);
  glVertex3f(-2.0f, 1.0f, 0.0f);
  glColor4f(1.0f, 1.0f, 1.0f, alpha);
  glVertex3f(2.0f, 1.0f, 0.0f);
  glColor4f(1.0f, 1.0f, 1.0f, alpha);
  glVertex3f(2.0f, -1.0f, 0.0f);
  glColor4f(1.0f, 1.0f, 1.0f, alpha);
  glVertex3f(-2.0f, -1.0f, 0.0f);
  glEnd();
  glDisable(GL_BLEND);
  glPopMatrix();
  return 0;
}

void DrawFlashSince(uint32_t mark, uint32_t divisor, uint32_t position) {
  if (position >= mark) DrawOverlayQuad((position - mark) / divisor);
}

void OverlaySkipSpentFlashes(bool on) { Overlay.skipSpent = on; }
