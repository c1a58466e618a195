// The white flash: one screen-covering quad blended over the frame.
//
// Units: k in steps of 0.001 opacity; stream positions in bytes (88,200 per
// second). Threads: main thread only, with the OpenGL context current.
#pragma once

#include <cstdint>

// Draws the flash `k` steps into its fade: opacity 1 - k * 0.001, so k = 0 is
// opaque white and k >= 1000 changes nothing. Call with the modelview of the
// frame's start (identity). Leaves blending off and the current colour
// (1, 1, 1, 1 - k * 0.001). A spent flash (k >= 1000) only sets that state:
// its quad would blend nothing, and the flash is always the frame's last
// drawing, so the depth it would write is never tested. Returns 0.
int DrawOverlayQuad(uint32_t k);

// The flash that starts at stream position `mark` and fades over
// 1000 x divisor bytes, as it stands at `position`: DrawOverlayQuad with
// (position - mark) / divisor, unsigned; nothing before the mark.
void DrawFlashSince(uint32_t mark, uint32_t divisor, uint32_t position);

// For tests and the bench only: false draws spent flashes too, as a reference
// for skipping them.
void OverlaySkipSpentFlashes(bool on);
