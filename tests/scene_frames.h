// Helpers for the scene tests: drawing one scene frame at a pinned stream
// position, the GL state a render operation leaves, and colour checks.
#pragma once

#include "models/mesh.h"
#include "tools/shared_kit/show_seam.h"
#include "render/overlay.h"
#include "render/text.h"
#include "render/tga.h"
#include "tests/support/show_data.h"

#include <GL/gl.h>
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <string>

// Draws one frame of a scene at stream position `p` and scene time `a`, twice,
// as the show does frame after frame: the second frame starts from the state
// (current colour, blending) the first one left, as every frame in the show
// starts from its predecessor's.
template <typename Render>
void DrawSceneFrame(Render render, uint32_t p, int32_t a) {
  for (int pass = 0; pass < 2; ++pass) {
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glLoadIdentity();
    SeamPinStreamPosition(p);
    glPushMatrix();
    render(a);
    glPopMatrix();
  }
  SeamReleaseStreamPosition();
}

// One frame the way the timeline brackets a scene, after a frame that ended
// as every frame of the show does: with a (spent) flash quad, which leaves
// blending off and the colour white. The position stays pinned.
template <typename Render>
void DrawAfterAFlash(Render render, uint32_t p, int32_t a) {
  DrawOverlayQuad(1000);
  SeamPinStreamPosition(p);
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
  glLoadIdentity();
  glPushMatrix();
  render(a);
  glPopMatrix();
}

// What every scene must leave behind: no texturing, lighting, colour material,
// culling or blending, and the model-view matrix and stack as found.
inline void ExpectStateLeftClean(const std::string& where, const float (&matrixBefore)[16], int depthBefore) {
  EXPECT_FALSE(glIsEnabled(GL_TEXTURE_2D)) << where;
  EXPECT_FALSE(glIsEnabled(GL_LIGHTING)) << where;
  EXPECT_FALSE(glIsEnabled(GL_COLOR_MATERIAL)) << where;
  EXPECT_FALSE(glIsEnabled(GL_CULL_FACE)) << where;
  EXPECT_FALSE(glIsEnabled(GL_BLEND)) << where;
  EXPECT_FALSE(glIsEnabled(GL_FOG)) << where;
  float matrix[16];
  glGetFloatv(GL_MODELVIEW_MATRIX, matrix);
  for (int i = 0; i < 16; ++i) EXPECT_EQ(matrix[i], matrixBefore[i]) << where << " matrix element " << i;
  GLint depth = 0;
  glGetIntegerv(GL_MODELVIEW_STACK_DEPTH, &depth);
  EXPECT_EQ(depth, depthBefore) << where;
  EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR)) << where;
}

// Renders once from a frame's view (a translated matrix, one push deep, as
// the timeline hands it over) and checks what is left.
template <typename Render>
void ExpectRenderLeavesStateClean(Render render, uint32_t p, int32_t a) {
  glLoadIdentity();
  glPushMatrix();
  glTranslatef(0.25f, -0.5f, 0.75f);
  float before[16];
  glGetFloatv(GL_MODELVIEW_MATRIX, before);
  GLint depth = 0;
  glGetIntegerv(GL_MODELVIEW_STACK_DEPTH, &depth);
  SeamPinStreamPosition(p);
  render(a);
  SeamReleaseStreamPosition();
  ExpectStateLeftClean("p = " + std::to_string(p) + ", a = " + std::to_string(a), before, depth);
  glPopMatrix();
}

inline void ExpectColourNear(Rgb got, Rgb want, int tolerance, const std::string& where) {
  EXPECT_NEAR(got.r, want.r, tolerance) << where;
  EXPECT_NEAR(got.g, want.g, tolerance) << where;
  EXPECT_NEAR(got.b, want.b, tolerance) << where;
}

// `c` blended under a white flash of opacity `alpha`.
inline Rgb UnderFlash(Rgb c, double alpha) {
  auto mix = [alpha](int v) { return int(std::lround((1 - alpha) * v + alpha * 255)); };
  return {mix(c.r), mix(c.g), mix(c.b)};
}

// A backdrop model large enough to enclose the viewer wherever the scenes
// place and turn it: the whole screen then wears its texture.
inline void WriteEnclosingGalaxy(const ScratchDir& dir) { dir.Write("Data/Galaxy.3DS", Make3DSCube(40.0f)); }

inline bool AllWhite(const Frame& frame) {
  return frame.CountBrighterThan(250) == frame.Width() * frame.Height();
}
