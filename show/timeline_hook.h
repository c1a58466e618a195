// Test hook: the operations the timeline calls for each scene, and its text
// draw. Tests put recorders in their place to see which scene a frame draws
// and with what scene time, which scenes load and free, and which words stand
// where. The show never calls this. Main thread only, between frames.
#pragma once

#include <cstdint>

struct ShowSceneOps {
  bool (*Load)();
  void (*Render)(int32_t a);  // a: scene time in milliseconds
  void (*Free)();
};

// The scenes in show order.
enum ShowSceneId { kSceneTitle, kSceneHand, kSceneCastle, kSceneFlight, kSceneCredits, kSceneCount };

// Replaces one scene's operations (copied: `ops` need not outlive the call);
// nullptr puts the scene's own back. Out-of-range ids are ignored.
void ShowHookScene(ShowSceneId scene, const ShowSceneOps* ops);

// Replaces the timeline's own text draws ("Loading", lyric words, flashing
// words, closing lines); nullptr puts DrawTextAt back. The op gets eye-space
// x, y, z, a Windows-1252 text valid only during the call, and opacity in
// percent.
using ShowTextOp = void (*)(float x, float y, float z, const char* text, float opacity);
void ShowHookText(ShowTextOp op);
