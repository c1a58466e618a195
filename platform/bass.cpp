// Placeholder until the audio layer lands.
#include "platform/bass.h"

#include "platform/show_seam.h"

DWORD BASS_GetVersion() { return 0x80000; }
BOOL BASS_Init(int, DWORD, DWORD, void*) { return 1; }
BOOL BASS_Start() { return 1; }
HSTREAM BASS_StreamCreateFile(BOOL, const void*, DWORD, DWORD, DWORD) { return 1; }
int BASS_ErrorGetCode() { return 0; }
BOOL BASS_StreamPlay(HSTREAM, BOOL, DWORD) { return 1; }
DWORD BASS_ChannelGetPosition(DWORD) {
  uint32_t pinned = 0;
  return SeamPinnedStreamPosition(&pinned) ? pinned : 0;
}
BOOL BASS_Stop() { return 1; }
BOOL BASS_StreamFree(HSTREAM) { return 1; }
