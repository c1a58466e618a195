// The flight scene: load, render and free.
//
// Main thread only, with the show's OpenGL context current. Render reads the
// stream position (bytes) afresh at every test and keeps no state. The model,
// texture and path live for the whole run; Free releases only the texture
// pixel buffer (OpenGL texture names are never deleted).
#pragma once

#include <cstdint>

bool LoadFlightScene();             // at start-up; false after its own box (if any)
void RenderFlightScene(int32_t a);  // a: scene time in milliseconds
void FreeFlightScene();             // releases the scene's texture pixel buffer
