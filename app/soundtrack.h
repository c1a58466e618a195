// Soundtrack playback: brings the audio library up, opens "TrailerLOW.mp3" and
// reports the library's errors in message boxes. The stream's position is the
// show's master clock: stream bytes (88,200 per second, platform/bass.h) of
// the music reaching the ear now. Main thread only.
#pragma once

#include "app/time_sources.h"
#include "platform/bass.h"

extern HSTREAM BSS_Stream;  // the soundtrack stream; 0 until created

bool BSS_Init();                       // version check, output up, stream created (not when a stop came meanwhile)
bool BSS_LoadSong(const char* Filename);
void BError();                         // box for the library's last error code
void BBS_Close();                      // stop output, free the stream

// Outputs the sound server cannot measure (Bluetooth headphones, AV
// receivers) play later than it reports: the picture waits `milliseconds`
// longer for the sound (negative: less). Before playback; before BSS_Init
// too (it is kept and applied there).
void BSS_SetAudioOffset(int milliseconds);

// The stream position now, in bytes (88,200 per second). Read afresh at every
// test: never cache it.
inline uint32_t StreamPosition() { return TimeSources().streamPosition(BSS_Stream); }
