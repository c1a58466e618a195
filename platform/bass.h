// The audio library the show was written against, rebuilt on libmpg123
// (decoding) and SDL2 audio (output): the calls the soundtrack code relies on,
// with the same names and meanings.
//
// Position: bytes of decoded audio counted as 16-bit stereo at 22,050 Hz,
// 88,200 per second whatever the file's own rate, of what is being heard now.
// It keeps growing at that rate after the end of the file, as if silence
// followed. Decoding and output run on SDL's audio thread; every call here is
// made from the main thread and never waits on the decoder.
#pragma once

#include <cstdint>

using DWORD = uint32_t;
using HSTREAM = uint32_t;
using BOOL = int;

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
BOOL BASS_Init(int device, DWORD freq, DWORD flags, void* win);
BOOL BASS_Start();
// mem 0: `file` is a file name, opened through the show's file-name helper.
HSTREAM BASS_StreamCreateFile(BOOL mem, const void* file, DWORD offset, DWORD length, DWORD flags);
int BASS_ErrorGetCode();  // code of the last call, 0 when it succeeded
BOOL BASS_StreamPlay(HSTREAM handle, BOOL flush, DWORD flags);
DWORD BASS_ChannelGetPosition(DWORD handle);  // stream bytes; see above
// Before playback only: playback starts at `bytes` of the stream, and the
// position counts on from there.
BOOL BASS_ChannelSetPosition(DWORD handle, DWORD bytes);
BOOL BASS_Stop();
BOOL BASS_StreamFree(HSTREAM handle);
