// The show's score: loads every scene behind a "Loading" screen, and turns the
// stream position of each frame into a picture. Keeps no state of its own.
#pragma once

#include <cstdint>

// The show ends at this stream position (133.2 s at 88,200 bytes per second).
constexpr uint32_t kShowEnd = 11750424;

// Draws "Loading", presents it, then loads title, hand, flight, castle and
// credits scenes, stopping at the first failure. True when all five loaded.
bool ShowLoadAll();

// Draws the frame of the current stream position; 0 once the show is over
// (nothing drawn then), 1 otherwise. The caller presents the frame.
int ShowFrame();

// Frees every scene; safe when none or only some were loaded.
void ShowFreeAll();
