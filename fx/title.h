// The title scene: load, render and free.
#pragma once

#include <cstdint>

bool LoadTitleScene();          // at start-up; false after its own box (if any)
void RenderTitleScene(int32_t a);  // a: scene time in milliseconds
void FreeTitleScene();          // releases the scene's texture pixel buffers
