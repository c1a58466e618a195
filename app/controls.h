// The viewer's controls besides Escape and Space, as a video player gives
// them: P or the keyboard's Play/Pause key pauses picture and music together
// and resumes both where they stood; Left and Right jump 5 s back and on, Home
// to the start; the desktop's media controls (platform/media_controls.h) do
// the same, and their Stop ends the show.
//
// A jump lands picture and music on one moment: the music plays from that
// moment's byte (the position holds there until it is heard), the demo clock
// reads what the whole show reads there, and the scenes go on from the GL
// state a show started there has, as --start builds it. A jump past the end
// ends the show as its end does. Main thread only, between frames.
#pragma once

#include <cstdint>

// Keeps the GL state the show has after loading: every start, and every
// jump, begins from it. Once, before the first frame.
void ControlsKeepStartState();

// Makes the GL state the one a show started at `bytes` (stream bytes) has:
// the kept start state and, past the title scene's first frame, that frame
// drawn once, unseen (the scenes leave state behind that later ones rely on).
void ControlsStateAt(uint32_t bytes);

// The position reads `bytes` and the clock `millis` until the time sources
// are put back or the clock is started again (for the unseen frames, and for
// TRAILER_HOLD).
void ControlsHoldAt(uint32_t bytes, float millis);

// Offers the desktop's media controls, once playback has started.
void ControlsStart();
void ControlsStop();

enum class ControlsAction {
  kNone,    // nothing to do
  kRedraw,  // paused, the picture changed (a jump): draw one frame
  kEnd,     // stop, or a jump past the end
};

// Takes the keys pressed and the media controls' requests since the last
// call, and does what they ask.
ControlsAction ControlsTake();

// True while the viewer holds the show.
bool ControlsPaused();
