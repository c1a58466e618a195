#include "app/controls.h"

#include "app/clock.h"
#include "app/options.h"
#include "app/soundtrack.h"
#include "app/window.h"
#include "platform/media_controls.h"
#include "platform/messages.h"
#include "platform/win_files.h"
#include "show/score.h"
#include "show/timeline.h"

#include <GL/gl.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

static const uint32_t kJumpBytes = 5 * kStreamBytesPerSecond;  // Left and Right: 5 s
static const char kIconFromData[] = "../icons/hicolor/scalable/apps/one.velmora.trailer.svg";  // as installed

// ---------------------------------------------------------------------------
// State
// ---------------------------------------------------------------------------
static struct {
  bool paused = false;
  bool startStateKept = false;  // the GL state after loading sits on the attribute stack
  uint32_t heldPosition = 0;    // stream bytes the held time sources answer
  std::string artUrl;           // the installed icon, for the media controls; empty: none
} Controls;

static uint32_t ReadHeldPosition(uint32_t) { return Controls.heldPosition; }

static int64_t MicrosOf(uint32_t bytes) { return int64_t(bytes) * 1000000 / kStreamBytesPerSecond; }
static int64_t PositionMicros() { return MicrosOf(StreamPosition()); }

// ---------------------------------------------------------------------------
// The state a start has
// ---------------------------------------------------------------------------
void ControlsKeepStartState() {
  // One entry of OpenGL's own attribute stack, kept for the whole run: the
  // scenes and the text push and pop above it, never below.
  glPushAttrib(GL_ALL_ATTRIB_BITS);
  Controls.startStateKept = true;
}

void ControlsHoldAt(uint32_t bytes, float millis) {
  Controls.heldPosition = bytes;
  ShowTimeSources sources = TimeSources();
  sources.streamPosition = ReadHeldPosition;
  SetTimeSources(&sources);
  TimerHold(millis);
}

void ControlsStateAt(uint32_t bytes) {
  if (Controls.startStateKept) {
    glPopAttrib();
    glPushAttrib(GL_ALL_ATTRIB_BITS);
  }
  if (bytes <= kShowFirstScene) return;
  // Not the loading's state (whose last texture would colour the closing
  // lines): the one every run has after the title scene's first frame.
  const ShowTimeSources sources = TimeSources();
  ControlsHoldAt(kShowFirstScene, StartClockMillis(kShowFirstScene));
  ShowFrame();
  SetTimeSources(&sources);  // the caller starts the clock again
}

// ---------------------------------------------------------------------------
// Pause and jumps
// ---------------------------------------------------------------------------
static void SetPaused(bool paused) {
  if (paused == Controls.paused) return;
  if (paused ? !BASS_ChannelPause(BSS_Stream) : !BASS_ChannelPlay(BSS_Stream, 0)) return;
  Controls.paused = paused;
  MediaControlsPlaying(!paused);
}

static ControlsAction JumpTo(int64_t bytes) {
  if (bytes < 0) bytes = 0;
  if (bytes >= kShowEnd) return ControlsAction::kEnd;
  const uint32_t target = uint32_t(bytes) & ~3u;  // whole stereo frames of 16 bits
  if (!BASS_ChannelSetPosition(BSS_Stream, target)) return ControlsAction::kNone;
  ControlsStateAt(target);
  TimerSeek(StartClockMillis(target));
  MediaControlsSeeked(MicrosOf(target));
  return Controls.paused ? ControlsAction::kRedraw : ControlsAction::kNone;
}

static ControlsAction JumpBy(int64_t bytes) { return JumpTo(int64_t(StreamPosition()) + bytes); }

// What one request of the media controls asks.
static ControlsAction Serve(MediaRequest request, int64_t micros) {
  switch (request) {
    case MediaRequest::Play: SetPaused(false); break;
    case MediaRequest::Pause: SetPaused(true); break;
    case MediaRequest::PlayPause: SetPaused(!Controls.paused); break;
    case MediaRequest::Stop: return ControlsAction::kEnd;
    case MediaRequest::SeekBy: return JumpBy(micros * kStreamBytesPerSecond / 1000000);
    case MediaRequest::SeekTo: return JumpTo(micros * kStreamBytesPerSecond / 1000000);
    case MediaRequest::None: break;
  }
  return ControlsAction::kNone;
}

// The stronger of two outcomes: an end wins, then a redraw.
static ControlsAction Either(ControlsAction a, ControlsAction b) { return a > b ? a : b; }

ControlsAction ControlsTake() {
  ControlsAction action = ControlsAction::kNone;
  const bool pKey = TakeKeyPress(VK_P), playPauseKey = TakeKeyPress(VK_MEDIA_PLAY_PAUSE);
  if (pKey || playPauseKey) SetPaused(!Controls.paused);
  if (TakeKeyPress(VK_LEFT)) action = Either(action, JumpBy(-int64_t(kJumpBytes)));
  if (TakeKeyPress(VK_RIGHT)) action = Either(action, JumpBy(kJumpBytes));
  if (TakeKeyPress(VK_HOME)) action = Either(action, JumpTo(0));
  int64_t micros = 0;
  for (MediaRequest request = MediaControlsPoll(&micros); request != MediaRequest::None;
       request = MediaControlsPoll(&micros)) {
    action = Either(action, Serve(request, micros));
    if (action == ControlsAction::kEnd) break;
  }
  return action;
}

bool ControlsPaused() { return Controls.paused; }

// ---------------------------------------------------------------------------
// The desktop's media controls
// ---------------------------------------------------------------------------
void ControlsStart() {
  // An installed show has its icon beside its data (share/icons beside
  // share/velmora-trailer); a show run from its build has none to show.
  const std::string icon = ShowDataFolder() + kIconFromData;
  if (!ShowDataFolder().empty() && access(icon.c_str(), R_OK) == 0) {
    if (char* path = realpath(icon.c_str(), nullptr)) {
      Controls.artUrl = std::string("file://") + path;
      std::free(path);
    }
  }
  MediaControlsInfo info = {};
  info.identity = "Velmora One, The Trailer";
  info.desktopEntry = "one.velmora.trailer";
  info.title = "Velmora One, The Trailer";
  info.lengthMicros = MicrosOf(kShowEnd);
  info.artUrl = Controls.artUrl.empty() ? nullptr : Controls.artUrl.c_str();
  info.positionMicros = PositionMicros;
  MediaControlsStart(info);
}

void ControlsStop() { MediaControlsStop(); }
