// Outputs for testing and measuring the audio layer (platform/audio_output.h):
// a simulated output driven by hand on a hand-set clock, a live simulated
// output with a thread of its own, and an observer wrapped around any output.
// Install one with AudioUseOutput before BASS_Init.
//
// Units as in platform/audio_output.h: output frames (stereo pairs at the
// output rate), monotonic nanoseconds.
#pragma once

#include "platform/audio_output.h"

#include <cstdint>

// A simulated sound card: nothing runs unless the test calls below, and its
// clock reads what the test set. `open` fails with `failCode` when nonzero.
const AudioOutput* KitSimulatedOutput(int failCode = 0);
void KitSimSetClock(int64_t nanos);
// Takes `frames` frames from the layer (an output pulling a burst); returns
// them, valid until the next pull. Silence unless the output is running.
const int16_t* KitSimPull(int frames);
// Reports output frame `frame` as heard at `nanos`, nothing beyond `capFrame`.
void KitSimReport(int64_t frame, int64_t nanos, int64_t capFrame);
// A card's callback at `nanos`: sets the clock, pulls `bufferFrames`, and
// reports the frame handed `latencyFrames` before this buffer as heard now,
// with nothing heard beyond the end of that earlier hand-over.
const int16_t* KitSimCallback(int64_t nanos, int bufferFrames, int latencyFrames);
int64_t KitSimPulled();  // output frames pulled since open

// A live card: a thread of its own pulls `bufferFrames` every buffer period
// of the monotonic clock (callback-paced, like a sound card) and reports the
// buffer as heard `latencyFrames` later.
const AudioOutput* KitLiveOutput(int bufferFrames, int latencyFrames);

// `inner`, with `observer` called on the audio thread after each pull: the
// time of the pull, the output frame of its first frame and the frames.
using KitAudioObserver = void (*)(int64_t nanos, int64_t firstFrame, const int16_t* stereo, int frames);
const AudioOutput* KitObservedOutput(const AudioOutput* inner, KitAudioObserver observer);
