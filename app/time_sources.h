// Where the show's "now" comes from: the soundtrack's stream position and the
// counters behind the demo clock. The show reads them through this table only.
// The real sources are the audio layer and the monotonic clock; offline tools
// and tests install their own (a pinned moment, a machine without a
// performance counter) and the show's code cannot tell the difference.
//
// Main thread only: install a table before the reads it is meant for.
#pragma once

#include <cstdint>

struct ShowTimeSources {
  // Stream bytes (88,200 per second) of `stream` heard now: the audio
  // layer's BASS_ChannelGetPosition (platform/bass.h). Never blocks.
  uint32_t (*streamPosition)(uint32_t stream);
  // The performance counter: counts per second, and the count now (counts
  // since an arbitrary zero; CLOCK_MONOTONIC nanoseconds for the real one).
  // Both false on a machine that has none.
  bool (*counterFrequency)(int64_t* countsPerSecond);
  bool (*counter)(int64_t* count);
  // The millisecond timer of the fallback clock, in milliseconds; wraps
  // around at 2^32.
  uint32_t (*millisecondTimer)();
  // Milliseconds the soundtrack's time line has moved against the counters
  // since play (the audio layer's BASS_GetClockShift): the demo clock moves
  // with it. nullptr: it never moves.
  double (*clockShift)();
};

// The table in force.
const ShowTimeSources& TimeSources();

// Puts `sources` in force (copied); nullptr puts the real sources back.
void SetTimeSources(const ShowTimeSources* sources);

// The real sources, for a table that replaces only some of them.
const ShowTimeSources& RealTimeSources();
