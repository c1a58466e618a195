// Test hook: the operations the timeline calls for each scene. Tests put
// recorders in their place to see which scene a frame draws and with what
// scene time, and which scenes load and free. The show never calls this.
#pragma once

#include <cstdint>

struct ShowSceneOps {
  bool (*Load)();
  void (*Render)(int32_t a);  // a: scene time in milliseconds
  void (*Free)();
};

// The scenes in show order.
enum ShowSceneId { kSceneTitle, kSceneHand, kSceneCastle, kSceneFlight, kSceneCredits, kSceneCount };

// Replaces one scene's operations; nullptr puts the scene's own back.
void ShowHookScene(ShowSceneId scene, const ShowSceneOps* ops);
