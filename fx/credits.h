// The credits scene: load, render and free.
#pragma once

#include <cstdint>

bool LoadCreditsScene();          // at start-up; false after its own box (if any)
void RenderCreditsScene(int32_t a);  // a: scene time in milliseconds
void FreeCreditsScene();          // releases the scene's texture pixel buffers
