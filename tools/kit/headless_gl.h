// A current legacy OpenGL context with no display at all, for tests and the
// offline tool: EGL on Mesa's surfaceless platform with a pbuffer of the given
// size (llvmpipe where there is no GPU). Main thread only.
#pragma once

#include <vector>

// Creates the context and makes it current; false (with a line on stderr)
// when EGL offers none. A second call replaces the first context.
bool HeadlessGLCreate(int width, int height);
void HeadlessGLDestroy();

// Reads the colour buffer as RGB bytes, top row first as a viewer sees it.
std::vector<unsigned char> HeadlessGLReadRGB();
int HeadlessGLWidth();
int HeadlessGLHeight();
