// An OpenGL ES 2.0 context with no display, with the fixed-function layer
// started in it: EGL on Mesa's surfaceless platform, a pbuffer in the show's
// pixel format (llvmpipe where there is no GPU). The native stand-in for the
// browser's WebGL 1 canvas. Sizes in pixels; main thread only.
#pragma once

#include <vector>

// Creates the context, makes it current and starts the layer; false (with a
// line on stderr) when EGL offers none or the layer cannot run in it. A
// second call replaces the first context.
bool HeadlessGLESCreate(int width, int height);
// Destroys the context; the layer forgets what it held.
void HeadlessGLESDestroy();
// The colour buffer as RGB bytes, top row first.
std::vector<unsigned char> HeadlessGLESReadRGB();
int HeadlessGLESWidth();
int HeadlessGLESHeight();
