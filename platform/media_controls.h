// The desktop's media controls: the play/pause and seek buttons of a panel, a
// keyboard's media keys taken by the desktop, a phone paired with it,
// playerctl. On Linux the show is an MPRIS player on the session bus
// (org.mpris.MediaPlayer2.velmora_trailer, through sd-bus); in a browser it is
// the page's Media Session.
//
// Requests are served only inside MediaControlsPoll, from the main loop; no
// call here ever waits on the bus (an answer that is not there yet is taken
// at a later poll). Times are microseconds of the show (stream position).
// Main thread only.
#pragma once

#include <cstdint>

struct MediaControlsInfo {
  const char* identity;         // the player's name, "Velmora One, The Trailer"
  const char* desktopEntry;     // the desktop entry's name without .desktop
  const char* title;            // the one track's title
  int64_t lengthMicros;         // the show's length
  const char* artUrl;           // a file: URL of its icon; nullptr: none
  int64_t (*positionMicros)();  // where the show stands now
};

// Offers the controls. False, after one line on stderr, where there is
// nothing to offer them on (no session bus); the show runs as before.
bool MediaControlsStart(const MediaControlsInfo& info);
void MediaControlsStop();

enum class MediaRequest { None, Play, Pause, PlayPause, Stop, SeekBy, SeekTo };

// Serves what came in since the last call and hands out the oldest request
// not yet taken (None: none), with its offset (SeekBy) or position (SeekTo)
// in *micros.
MediaRequest MediaControlsPoll(int64_t* micros);

// What the show does now, announced to the desktop (PropertiesChanged).
void MediaControlsPlaying(bool playing);

// The position jumped (Seeked).
void MediaControlsSeeked(int64_t positionMicros);
