// The castle scene: load, render and free.
//
// Main thread only, with the show's OpenGL context current. Needs the title
// scene loaded first: its galaxy model is drawn as the cloud layers. Render
// reads the stream position (bytes) afresh at every test and keeps no state.
// The models, textures and path live for the whole run; Free releases only
// the texture pixel buffers (OpenGL texture names are never deleted).
#pragma once

#include <cstdint>

bool LoadCastleScene();             // at start-up; false after its own box (if any)
void RenderCastleScene(int32_t a);  // a: scene time in milliseconds
void FreeCastleScene();             // releases the scene's texture pixel buffers
