// The castle scene: load, render and free.
#pragma once

#include <cstdint>

bool LoadCastleScene();          // at start-up; false after its own box (if any)
void RenderCastleScene(int32_t a);  // a: scene time in milliseconds
void FreeCastleScene();          // releases the scene's texture pixel buffers
