// The hand scene: load, render and free.
#pragma once

#include <cstdint>

bool LoadHandScene();          // at start-up; false after its own box (if any)
void RenderHandScene(int32_t a);  // a: scene time in milliseconds
void FreeHandScene();          // releases the scene's texture pixel buffers
