// Placeholder until the soundtrack lands: start-up succeeds without sound.
#include "app/soundtrack.h"

HSTREAM BSS_Stream = 0;
bool BSS_Init() { return true; }
bool BSS_LoadSong(const char*) { return true; }
void BError() {}
void BBS_Close() {}
