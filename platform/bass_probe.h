// Test and measurement hooks of the audio layer (platform/bass.cpp). The show
// never calls these; tests and the sound-check tool do.
//
// Words: a frame is one sample per channel; "output frames" are at the
// device's rate (44,100 Hz for the show), "file frames" at the MP3's own rate.
#pragma once

#include <cstdint>

struct BassProbeCounters {
  uint64_t callbacks;          // audio callbacks run since playback started
  uint64_t framesHanded;       // output frames handed to the device since playback started
  uint64_t fileFramesDecoded;  // file frames decoded so far (including the primed ones)
  int fileRate;                // Hz, 0 without a stream
  int fileChannels;            // 1 or 2, 0 without a stream
  bool endOfFile;              // the decoder has run dry; silence follows
  bool clockPaced;             // position follows the monotonic clock, not callbacks
  int deviceRate;              // Hz
  int bufferFrames;            // output frames per callback
  int latencyFrames;           // output frames between a callback and hearing its first frame
};
// A snapshot; call between callbacks (simulated device) or accept that the
// audio thread moves on meanwhile.
BassProbeCounters BassProbeRead();

// Before BASS_Init: open no SDL device. The caller runs the callback by hand
// with BassProbeRunCallback and sets the clock that position reads use. The
// position is then paced by those callbacks (like a real sound card), with
// `latencyFrames` between handing a buffer over and hearing its first frame.
void BassProbeSimulateDevice(int bufferFrames, int latencyFrames);
void BassProbeRunCallback(uint8_t* out, int bytes, int64_t nowNanoseconds);
void BassProbeSetClock(int64_t nowNanoseconds);

// Before BASS_Init: pace the position by callbacks even on the dummy and disk
// drivers (which otherwise follow the monotonic clock). For measuring.
void BassProbeForceCallbackPacing(bool on);

// Called on the audio thread after every callback with the frames just handed
// over (interleaved stereo at the device rate), the first frame's index and
// the monotonic time of the callback. For measuring; keep it short.
using BassProbeObserver = void (*)(int64_t nowNanoseconds, int64_t firstFrame, const int16_t* stereo, int frames);
void BassProbeSetObserver(BassProbeObserver observer);

// The monotonic clock the position is interpolated with, in nanoseconds.
int64_t BassProbeNow();

// Sets the code BASS_ErrorGetCode answers next, for testing its readers.
void BassProbeSetError(int code);
