// The white flash: one screen-covering quad blended over the frame.
#pragma once

#include <cstdint>

// Draws the flash `k` steps into its fade: opacity 1 - k * 0.001, so k = 0 is
// opaque white and k >= 1000 changes nothing. Call with the modelview of the
// frame's start (identity). Returns 0.
int DrawOverlayQuad(uint32_t k);

// The flash that starts at stream position `mark` and fades over
// 1000 x divisor bytes, as it stands at `position`: DrawOverlayQuad with
// (position - mark) / divisor, unsigned; nothing before the mark.
void DrawFlashSince(uint32_t mark, uint32_t divisor, uint32_t position);
