// The hand scene: load, render and free.
//
// Main thread only, with the show's OpenGL context current. Needs the title
// scene loaded first (its galaxy backdrop, textures and ambient light). Load
// reads the model only; the hand's own texture is read by the first Render
// and retried each frame until it loads. Render reads the stream position
// (bytes) afresh at every test. Free releases that texture's pixel buffer.
#pragma once

#include <cstdint>

bool LoadHandScene();             // at start-up; false after its own box (if any)
void RenderHandScene(int32_t a);  // a: scene time in milliseconds
void FreeHandScene();             // releases the scene's texture pixel buffer
