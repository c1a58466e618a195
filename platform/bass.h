// The audio library the show was written against, rebuilt on libmpg123
// (decoding) and a sound output (libpulse, else SDL2; platform/audio_output.h):
// the calls the soundtrack code relies on, with the same names and meanings.
//
// Units:
//   stream bytes  the position's unit: bytes of decoded audio counted as 16-bit
//                 stereo at 22,050 Hz, 88,200 per second, whatever the file's
//                 own rate. Byte 0 is the first sample the decoder puts out
//                 (an encoder's delay is not cut: it is decoded audio too).
//   output frames one stereo sample pair at the output rate (`freq` of
//                 BASS_Init, 44,100 Hz for the show).
//
// Position: the stream bytes reaching the ear now, as the sound server
// reports it (SDL: one buffer after it was handed over). It stays where
// playback starts until the first frame is heard, never goes back, advances
// smoothly at the output's rate between the output's reports, holds when the
// output stops taking sound, and keeps growing at the same rate after the
// end of the file, as if silence followed. If nothing is heard for a second
// (five before the first frame) it goes on by the monotonic clock, with one
// line on stderr; the sound skips ahead to it when the output takes sound
// again, and the position follows what is heard from then on
// (platform/position_estimate.h).
//
// Threads: every BASS_* call comes from the main thread. The whole file is
// decoded into memory by BASS_StreamCreateFile; the output's audio thread only
// copies from there. BASS_ChannelGetPosition takes no lock and never waits;
// the other calls hold the output's lock for a few microseconds at most.
#pragma once

#include <cstdint>

using DWORD = uint32_t;
using HSTREAM = uint32_t;
using BOOL = int;

// The position's unit: stream bytes in a second (16-bit stereo at 22,050 Hz).
constexpr uint32_t kStreamBytesPerSecond = 88200;

// Error codes, as BASS_ErrorGetCode reports them.
enum : int {
  BASS_OK = 0,
  BASS_ERROR_MEM = 1,
  BASS_ERROR_FILEOPEN = 2,
  BASS_ERROR_DRIVER = 3,
  BASS_ERROR_HANDLE = 5,
  BASS_ERROR_FORMAT = 6,
  BASS_ERROR_INIT = 8,
  BASS_ERROR_ALREADY = 14,
  BASS_ERROR_UNKNOWN = -1,
};

DWORD BASS_GetVersion();  // 0x80000: version 0.8
// device -1: the default output; freq: output rate in Hz; win is not used.
// Opens the output (platform/audio_output.h chooses which).
BOOL BASS_Init(int device, DWORD freq, DWORD flags, void* win);
// Starts the output taking sound (silence until a stream plays).
BOOL BASS_Start();
// mem 0: `file` is a file name, opened through the show's file-name helper.
// Decodes the whole file into memory (about 10 MB per minute at 44.1 kHz).
HSTREAM BASS_StreamCreateFile(BOOL mem, const void* file, DWORD offset, DWORD length, DWORD flags);
int BASS_ErrorGetCode();  // code of the last call, 0 when it succeeded
BOOL BASS_StreamPlay(HSTREAM handle, BOOL flush, DWORD flags);
DWORD BASS_ChannelGetPosition(DWORD handle);  // stream bytes heard now; see above
// Playback starts, or goes on, at `bytes` of the stream. Before playback the
// position counts on from there. While playing (or paused) it is a jump: the
// sound not yet heard is dropped, the position reads `bytes` and holds there
// until the sound played from it is heard, and the clock's shift starts
// again from 0 (the demo clock jumps with the caller: TimerSeek).
BOOL BASS_ChannelSetPosition(DWORD handle, DWORD bytes);
// Not in version 0.8 (later versions have them, by these names): pause the
// playing stream, sound and position together, and go on from where it
// stood. While paused the position holds and the clock's shift grows with
// the pause, so that the demo clock holds too; what the output held plays
// first on resume. BASS_ChannelPlay on a stream never played plays it;
// `restart` starts it again from 0.
BOOL BASS_ChannelPause(DWORD handle);
BOOL BASS_ChannelPlay(DWORD handle, BOOL restart);
// Stream bytes of the whole decoded file.
DWORD BASS_StreamGetLength(HSTREAM handle);
// Not the original library's: an output the server cannot measure (Bluetooth
// headphones, an AV receiver) plays `ms` milliseconds later than reported, so
// the position lags that much (negative: leads, from the first frame heard).
// Before playback.
BOOL BASS_SetOutputDelay(int ms);
// Stops the output; the position stays where it was.
BOOL BASS_Stop();
BOOL BASS_StreamFree(HSTREAM handle);
// Frees the stream and closes the output: back to before BASS_Init, nothing
// of the run kept. Says on stderr how often the sound ran dry, if it did. The
// show never calls it (the process ends instead, and it runs at exit); tools
// and tests do.
BOOL BASS_Free();
// Not the original library's: milliseconds the playing stream's time line
// stands ahead of one that started at play and ran on the monotonic clock. It moves
// when the position holds, jumps, goes on without sound or rejoins it, and
// with a sink's clock that drifts, in steps of a millisecond or more; the
// demo clock follows it (app/clock.h). 0 before play.
double BASS_GetClockShift();
// Not the original library's: times the output ran dry while the stream
// played since BASS_Init (the server dropped what came late).
DWORD BASS_GetUnderruns();
