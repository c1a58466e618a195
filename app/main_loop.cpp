#include "app/main_loop.h"

#include "app/clock.h"
#include "app/controls.h"
#include "app/soundtrack.h"
#include "app/window.h"
#include "platform/messages.h"
#include "platform/audio_output.h"
#include "platform/msgbox.h"
#include "platform/stop_signal.h"
#include "platform/win_files.h"
#include "render/text.h"
#include "show/score.h"
#include "show/timeline.h"

#include <cstdlib>

static const char kWindowTitle[] = "Velmora One, The Trailer - by Quintrel";
static const int kWindowWidth = 640;   // pixels
static const int kWindowHeight = 480;  // pixels
static const int kHiddenWaitMillis = 100;  // how long a minimised show sleeps between looks at the position
static const int kFailed = 1;            // exit code after a failure box

// ---------------------------------------------------------------------------
// State
// ---------------------------------------------------------------------------
static int done = 0;       // 1: leave the loop
static MSG msg = {};       // the last message taken
static int DEMO_BPP = 32;  // colour depth of every window created

static void Fail(const char* text, const char* caption) { MessageBoxA(text, caption, MB_ICONEXCLAMATION); }

// Escape held, or pressed and released since the last look.
static bool EscapePressed() { return TakeKeyPress(VK_ESCAPE) || keys[VK_ESCAPE]; }

static void PresentLoadingScreen() { SwapBuffers(hMainWindow); }

// Space: the same window goes to the other mode; where the platform refuses,
// a new window in that mode takes the kept context.
static bool ToggleFullscreen() {
  if (SwitchGLWindowMode(!fullscreen, kWindowWidth, kWindowHeight)) return true;
  KillGLWindow(GLContextFate::Keep);
  fullscreen = !fullscreen;
  return CreateGLWindow(kWindowTitle, kWindowWidth, kWindowHeight, DEMO_BPP, fullscreen);
}

int WinMain(const ShowOptions& options) {
  SetShowDataFolder(options.dataFolder);
  SetFullscreenModeSwitch(options.modeSwitch);
  SetRenderSize(options.renderWidth, options.renderHeight);
  BSS_SetAudioOffset(options.audioOffsetMillis);
  const uint32_t startBytes = StartPositionBytes(options.startSeconds);
  // No sound output at all: the position still runs with the music, by the
  // clock from play.
  if (options.silent) AudioUseOutput(AudioOutputSilent());

  // SIGINT or SIGTERM during start-up ends it at the next step, as a close
  // request ends the show: exit 0.
  if (!BSS_Init()) return kFailed;  // it has shown its own box
  if (StopSignalled()) {
    BBS_Close();
    return 0;
  }
  if (startBytes && !BASS_ChannelSetPosition(BSS_Stream, startBytes)) {
    BError();
    BBS_Close();
    return kFailed;
  }

  fullscreen = !options.window;
  DEMO_BPP = 32;
  if (!CreateGLWindow(kWindowTitle, kWindowWidth, kWindowHeight, DEMO_BPP, fullscreen)) {
    ShowFreeAll();
    Fail("Unable to create OpenGL window!", "Error");
    return kFailed;
  }

  BuildFont();  // before the loading screen, which needs it

  const bool loaded = !StopSignalled() && ShowLoadAll(PresentLoadingScreen);
  if (StopSignalled()) {
    ShowFreeAll();
    KillFont();
    BBS_Close();
    KillGLWindow();
    return MessageBoxShownCount() > 0 ? kFailed : 0;
  }
  if (!loaded) {
    ShowFreeAll();
    KillGLWindow();
    Fail("Demo Init error...", "Ups!");
    return kFailed;
  }

  // Every scene's drawing made ready now, unseen, so that no first frame of
  // a scene (nor one after a jump into it) waits on the driver; then the
  // state a show started here has.
  ShowWarmUp();
  ControlsKeepStartState();
  ControlsStateAt(startBytes);

  if (!BASS_StreamPlay(BSS_Stream, 0, 4)) {
    ShowFreeAll();
    BBS_Close();
    Fail("Unable to Play sound module!", "Bass error");
    return kFailed;
  }
  // The loading screen stays until the music is heard (a sleeping sound
  // server takes up to two seconds); the window keeps answering meanwhile,
  // and Escape or a close request skips the show.
  const uint32_t playedFrom = StreamPosition();  // where playback starts: nothing is heard yet
  while (StreamPosition() == playedFrom && !done) {
    if (PeekMessageA(&msg)) {
      if (msg.message == WM_QUIT) done = 1;
      else WndProc(msg.message, msg.wParam, msg.lParam);
    } else if (EscapePressed()) {
      done = 1;
    } else {
      WaitMessage(1);
    }
  }
  // The clock's zero is the moment the first frame was heard; a show started
  // partway reads the clock the whole show reads there.
  TimerInit();
  TimerAdvance(StartClockMillis(startBytes) + float(StreamPosition() - playedFrom) / float(kStreamBytesPerMilli));
  // TRAILER_HOLD=1 (for tests): the show stands still at its start from here
  // on, so that the window can be compared with velmora-trailer-tool's frame of it.
  const char* hold = std::getenv("TRAILER_HOLD");
  if (hold && *hold) ControlsHoldAt(startBytes, StartClockMillis(startBytes));
  ControlsStart();

  bool redraw = false;  // paused: the picture must be drawn again once
  while (!done) {
    if (PeekMessageA(&msg)) {
      if (msg.message == WM_QUIT)
        done = 1;
      else
        WndProc(msg.message, msg.wParam, msg.lParam);
      redraw = redraw || msg.message == WM_SIZE || msg.message == WM_ACTIVATE;
      continue;
    }

    const ControlsAction action = ControlsTake();
    if (action == ControlsAction::kEnd) {
      done = 1;
      continue;
    }
    redraw = redraw || action == ControlsAction::kRedraw;

    // Minimised or hidden: no frames, a sleep in the event wait, and the
    // music plays on; the end of the show still ends it. Paused: the
    // picture stands, and is drawn again only when it must be.
    if (!active || (ControlsPaused() && !redraw)) {
      if (StreamPosition() >= kShowEnd || EscapePressed()) done = 1;
      else WaitMessage(kHiddenWaitMillis);
      continue;
    }
    redraw = false;

    FollowDrawableSize();
    if (!ShowFrame() || EscapePressed()) {
      done = 1;
      continue;
    }
    SwapBuffers(hMainWindow);

    if (TakeKeyPress(VK_SPACE)) {  // one press, one switch, however long it is held
      // The context is kept, so textures and the font survive the switch.
      if (!ToggleFullscreen()) {
        ShowFreeAll();
        BBS_Close();
        Fail("Unable to refresh OpenGL window!", "Error");
        return kFailed;
      }
    }
  }

  ControlsStop();
  ShowFreeAll();
  KillFont();
  BBS_Close();
  KillGLWindow();
  // The end, Escape and a close all exit with 0; a box shown on the way
  // (a texture that failed to load, a failed release) makes it 1.
  return MessageBoxShownCount() > 0 ? kFailed : 0;
}
