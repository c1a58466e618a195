// Rendering the show's frames headless: a context with the window's GL state
// and font, every scene loaded, and the stream position and demo clock pinned
// to the moment wanted. Sizes in pixels; main thread only.
#pragma once

#include "render/picture.h"
#include "show/score.h"

#include <cstdint>
#include <vector>

constexpr int kFrameWidth = kPictureWidth;
constexpr int kFrameHeight = kPictureHeight;

// Sets everything up once, for frames of width x height pixels (even sizes)
// with `samples` per pixel (0: no multisampling). The show's 4:3 picture is
// centred, with black bars where the size is wider or taller than 4:3; the
// projection keeps the show's aspect exactly. A later call with the same
// arguments does nothing; with others it fails. False (after a message on
// stderr) when there is no GL context or a scene fails to load.
bool StartHeadlessShow(int width = kFrameWidth, int height = kFrameHeight, int samples = 0);

// The frame ShowFrame draws at `streamBytes` with the clock at `clockMillis`,
// as RGB rows, top row first. The frame is drawn twice, so that the state one
// frame leaves for the next (the current colour) is as it is in the show.
std::vector<unsigned char> RenderShowMoment(uint32_t streamBytes, double clockMillis);

// The clock of a soundtrack playing at its stream position's rate.
inline double ClockAtPosition(uint32_t streamBytes) { return double(streamBytes) / kStreamBytesPerMilli; }
