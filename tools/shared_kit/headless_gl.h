// A current legacy OpenGL context with no display at all, for tests and the
// offline tool: EGL on Mesa's surfaceless platform with a pbuffer of the given
// size (llvmpipe where there is no GPU). Sizes in pixels. Main thread only.
#pragma once

#include <vector>

// Creates the context and makes it current; false (with a line on stderr)
// when EGL offers none. A second call replaces the first context. `samples`
// above 0 asks for a multisampled colour buffer of that many samples per
// pixel (false, with the most EGL offers named, when there is none); reading
// it back resolves the samples.
bool HeadlessGLCreate(int width, int height, int samples = 0);
// Destroys the context; the meshes compiled in it are forgotten.
void HeadlessGLDestroy();

// Reads the colour buffer as RGB bytes, top row first as a viewer sees it.
std::vector<unsigned char> HeadlessGLReadRGB();
// Reads the colour buffer as B, G, R, A bytes into `out` (width x height x 4
// bytes), bottom row first as OpenGL stores it: the cheapest read, for video.
void HeadlessGLReadBGRA(unsigned char* out);
int HeadlessGLWidth();
int HeadlessGLHeight();
