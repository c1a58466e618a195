// Rendering the show's frames headless: a 640 x 480 context with the window's
// GL state and font, every scene loaded, and the stream position and demo
// clock pinned to the moment wanted.
#pragma once

#include <cstdint>
#include <vector>

constexpr int kFrameWidth = 640;
constexpr int kFrameHeight = 480;

// Sets everything up once; false (after a message on stderr) when there is no
// GL context or a scene fails to load.
bool StartHeadlessShow();

// The frame ShowFrame draws at `streamBytes` with the clock at `clockMillis`,
// as RGB rows, top row first. The frame is drawn twice, so that the state one
// frame leaves for the next (the current colour) is as it is in the show.
std::vector<unsigned char> RenderShowMoment(uint32_t streamBytes, double clockMillis);

// The clock of a soundtrack playing at 88,200 bytes per second.
inline double ClockAtPosition(uint32_t streamBytes) { return double(streamBytes) / 88.2; }
