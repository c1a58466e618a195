// The flight scene: load, render and free.
#pragma once

#include <cstdint>

bool LoadFlightScene();          // at start-up; false after its own box (if any)
void RenderFlightScene(int32_t a);  // a: scene time in milliseconds
void FreeFlightScene();          // releases the scene's texture pixel buffers
