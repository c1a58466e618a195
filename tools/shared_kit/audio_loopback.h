// Measuring what is heard: a recording of the default sink's monitor through
// libpulse with the server's timing, and finding a stretch of the soundtrack
// (decoded as the layer plays it: platform/audio_decode.h) in it.
//
// Units: frames are stereo pairs at `rate` Hz; times are CLOCK_MONOTONIC
// nanoseconds. Main thread only (the recording runs on libpulse's thread).
#pragma once

#include <cstdint>
#include <vector>

// Sound with the moment each frame was played: frame i of `stereo` was heard
// at the time of the last anchor at or before i, plus (i - its frame) at the
// anchor's pace. Several anchors on one frame mean the sound held there (a
// stalled sink); the last says when it went on.
struct TimedSound {
  int rate = 0;
  std::vector<int16_t> stereo;  // interleaved
  struct Anchor {
    int64_t frame;
    int64_t nanos;
    double nanosPerFrame = 0;  // the pace from here on; 0: the nominal rate
  };
  std::vector<Anchor> anchors;  // by frame, then by time
  int64_t Frames() const { return int64_t(stereo.size() / 2); }
  double NanosAt(double frame) const;
  // The frame being heard at `nanos`: the inverse of NanosAt.
  double FrameAt(double nanos) const;
};

// Anchors for a recording from the server's reports (frame heard, monotonic
// nanos), in order. The sink's clock runs nearly straight except where it
// stalls or skips, so the reports are cut into runs wherever one lands more
// than half a millisecond off the nominal rate from the report a tenth of a
// second before it, and each second of a run gets its own least-squares line.
std::vector<TimedSound::Anchor> AnchorsFromReports(const std::vector<TimedSound::Anchor>& reports, int rate);
// The same from arrivals (first frame of a read, monotonic nanos of the
// read), for sound that came with no timing: sound arrives only after it was
// heard, so each read is anchored at the latest moment its first frame can
// have been heard (runs cut where arrivals stall or rush 5 ms). Measured
// against them, the show can only look earlier than it is.
std::vector<TimedSound::Anchor> AnchorsFromArrivals(const std::vector<TimedSound::Anchor>& arrivals, int rate);

// Starts recording the default sink's monitor; false when no server answers.
// A server that goes away is asked again every 200 ms; what it records once
// back follows what was recorded before, timed by its own reports.
bool LoopbackStart(int rate);
// Stops and hands the recording over, anchored by AnchorsFromReports.
bool LoopbackStop(TimedSound* recording);

// The frame of `haystack` where `needle[from, from + count)` (frames) matches
// best, searched from `near - span` to `near + span`; -1 when nothing fits as
// well as `minScore` (a normalised correlation: 1 for the same sound).
int64_t FindSound(const std::vector<int16_t>& needle, int64_t from, int64_t count, const std::vector<int16_t>& haystack,
                  int64_t near, int64_t span, double minScore = 0.5);
