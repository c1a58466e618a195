#include "app/soundtrack.h"

#include "platform/msgbox.h"
#include "platform/stop_signal.h"

#include <cstdio>

// ---------------------------------------------------------------------------
// State
// ---------------------------------------------------------------------------
HSTREAM BSS_Stream = 0;  // the soundtrack stream; 0 until created

static const DWORD kBassVersion = 0x80000;  // 0.8
static const DWORD kStreamFlags = 0x20000;
static const char kSongFile[] = "TrailerLOW.mp3";
static int AudioOffsetMillis = 0;  // how much later than reported the sound is heard

// The library's error texts by code, -1 to 30; null where a code has none.
// The spelling is the one users have always seen.
static const char* const kErrorTexts[] = {
    "Unknown error or sound device error...",  // -1
    nullptr,                                    // 0: no error
    "Memory error",
    "Unable to open file",
    "Can't find a free or a valid driver",
    "The sample buffer was lost",
    "Invalid handle",
    "Unsupported format",
    "Invalif playback position",
    "BASS_Init() has not been successfully called!",
    "BASS_Start has not been successfully called!",
    "Can't initialize CD",
    "BASS_CDInit() has not been successfully called",
    "You must insert a CD in drive...",
    "Can't play the selected CD track",
    "Already initialized",
    "CD has no volume control",
    "Not paused",
    "Not an audio track",
    "Can't get a free channel",
    "An illegal type was specified",
    "An illegal parameter was specified",
    "No 3D Sound support",
    "No EAX support",
    "Illegal device number",
    "Not playing...",
    "Illegal sample rate",
    "A3D.DLL is not installed",
    "The stream is not a file stream (WAV/MP3)",
    nullptr,  // 28 has no text
    "No hardware voices available",
    "Synchronizers have been disabled",
};

static void Warn(const char* text, const char* caption) { MessageBoxA(text, caption, MB_ICONEXCLAMATION); }

bool BSS_Init() {
  if (BASS_GetVersion() != kBassVersion) {
    Warn("BASS version 0.8 was not loaded", "Incorrect BASS.DLL");
    return false;
  }
  // The library takes the foreground window; there is none to give here, and
  // the stand-in does not use it.
  if (!BASS_Init(-1, 44100, 0, nullptr)) {
    Warn("Can't initialize digital sound system", "Error");
    BError();
    // The boxes say what failed; this says what to do about it, last.
    std::fputs("velmora-trailer: no sound output could be opened (no sound server or sound card answered); "
               "to watch in silence, start it with --silent\n",
               stderr);
    return false;
  }
  // Asked to end while the output opened: the caller ends start-up, and
  // decoding the song would only keep it waiting.
  if (StopSignalled()) return true;
  BASS_SetOutputDelay(AudioOffsetMillis);
  BASS_Start();
  return BSS_LoadSong(kSongFile);
}

bool BSS_LoadSong(const char* Filename) {
  BSS_Stream = BASS_StreamCreateFile(0, Filename, 0, 0, kStreamFlags);
  if (BASS_ErrorGetCode() == 0) return true;
  Warn("Unable to create stream file!", "Error");
  BError();
  return false;
}

void BError() {
  const int code = BASS_ErrorGetCode();
  const int index = code + 1;  // -1 sits first
  if (index < 0 || index >= int(sizeof kErrorTexts / sizeof kErrorTexts[0])) return;
  if (kErrorTexts[index]) Warn(kErrorTexts[index], "BASS Init Error");
}

void BBS_Close() {
  BASS_Stop();
  BASS_StreamFree(BSS_Stream);
}

void BSS_SetAudioOffset(int milliseconds) {
  AudioOffsetMillis = milliseconds;
  BASS_SetOutputDelay(milliseconds);  // fails harmlessly before BSS_Init, which applies it
}
