// Stand-ins for the castle, flight and credits scenes, so that the timeline
// links and runs before their modules are in the tree: each loads nothing,
// draws nothing and frees nothing. Delete this file when fx/castle.cpp,
// fx/flight.cpp and fx/credits.cpp land (the linker then reports these
// definitions twice).
#include "fx/castle.h"
#include "fx/credits.h"
#include "fx/flight.h"

bool LoadCastleScene() { return true; }
void RenderCastleScene(int32_t) {}
void FreeCastleScene() {}

bool LoadFlightScene() { return true; }
void RenderFlightScene(int32_t) {}
void FreeFlightScene() {}

bool LoadCreditsScene() { return true; }
void RenderCreditsScene(int32_t) {}
void FreeCreditsScene() {}
