// The deck: what the output's audio thread plays of the decoded soundtrack,
// and what it reports having been heard, for the audio layer
// (platform/bass.cpp) to turn into the show's position.
//
// Words: "stream frames" are output frames of the decoded file (frame 0 is
// its first sample); "output frames" count every frame the output pulled
// since it opened, silence included. The deck keeps where the one in the
// other lies: a segment starts wherever the stream is played from, or skips
// ahead to catch up with a show that went on without its sound.
//
// Threads: the callbacks run on the output's audio thread with its lock
// held. The main thread changes what they read only under that lock (or
// while no output is open); it reads reports and asks for skips without it.
#pragma once

#include "platform/audio_output.h"
#include "platform/position_estimate.h"

#include <cstdint>
#include <vector>

// What an output is opened with.
const AudioOutputCallbacks* DeckCallbacks();

// Main thread, with no output open: everything as before any output, at
// `rate` frames per second.
void DeckReset(int rate);

// Main thread, under the output's lock.
// The open output's clock, which skips are timed by.
void DeckUseClock(int64_t (*now)());
// Puts the decoded file (interleaved stereo at the output rate) on the deck;
// the one it held comes back in *pcm. Nothing plays until DeckPlayFrom.
void DeckSwapSound(std::vector<int16_t>* pcm);
int64_t DeckFrames();  // stream frames on the deck
// The next pull plays from `streamFrame` on, in a segment of its own.
void DeckPlayFrom(int64_t streamFrame);
// The pulls hand over silence from now on.
void DeckHalt();
// The next pull plays from `streamFrame` on, in a segment whose reports carry
// `tag` (a jump of a playing stream; the sound already handed over still
// plays unless the output flushes it).
void DeckSeek(int64_t streamFrame, uint32_t tag);
// No report heard and no skip asked from here on (a new play).
void DeckForgetReports();

// Main thread, lock-free.
HeardReport DeckReadReport();
// Asks the audio thread to skip ahead: the show stood at `frame` at `nanos`
// when the request numbered `serial` was made.
void DeckAskSkip(uint32_t serial, int64_t frame, int64_t nanos);
// Times the output ran dry while the stream played.
uint32_t DeckUnderruns();
