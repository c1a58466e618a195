#include "app/main_loop.h"

#include "app/clock.h"
#include "app/soundtrack.h"
#include "app/window.h"
#include "platform/messages.h"
#include "platform/msgbox.h"
#include "render/text.h"
#include "show/timeline.h"

#include <chrono>
#include <thread>

static const char kWindowTitle[] = "Velmora One, The Trailer - by Quintrel";
static const int kWindowWidth = 640;   // pixels
static const int kWindowHeight = 480;  // pixels

// ---------------------------------------------------------------------------
// State
// ---------------------------------------------------------------------------
static int done = 0;       // 1: leave the loop
static MSG msg = {};       // the last message taken
static int DEMO_BPP = 32;  // colour depth of every window created

static void Fail(const char* text, const char* caption) { MessageBoxA(text, caption, MB_ICONEXCLAMATION); }

int WinMain() {
  if (!BSS_Init()) return 0;  // it has shown its own box

  fullscreen = true;
  DEMO_BPP = 32;
  if (!CreateGLWindow(kWindowTitle, kWindowWidth, kWindowHeight, DEMO_BPP, fullscreen)) {
    ShowFreeAll();
    Fail("Unable to create OpenGL window!", "Error");
    return 0;
  }

  BuildFont();  // before the loading screen, which needs it

  if (!ShowLoadAll()) {
    ShowFreeAll();
    KillGLWindow();
    Fail("Demo Init error...", "Ups!");
    return 0;
  }

  if (!BASS_StreamPlay(BSS_Stream, 0, 4)) {
    ShowFreeAll();
    BBS_Close();
    Fail("Unable to Play sound module!", "Bass error");
    return 0;
  }
  // The loading screen stays until the music is heard (a sleeping sound
  // server takes up to two seconds); the window keeps answering meanwhile,
  // and Escape or a close request skips the show.
  const uint32_t playedFrom = StreamPosition();  // where playback starts: nothing is heard yet
  while (StreamPosition() == playedFrom && !done) {
    if (PeekMessageA(&msg)) {
      if (msg.message == WM_QUIT) done = 1;
      else WndProc(msg.message, msg.wParam, msg.lParam);
    } else if (keys[VK_ESCAPE]) {
      done = 1;
    } else {
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
  }
  // The clock's zero is the moment the first frame was heard.
  TimerInit();
  TimerAdvance(float(StreamPosition() - playedFrom) / 88.2f);

  while (!done) {
    if (PeekMessageA(&msg)) {
      if (msg.message == WM_QUIT)
        done = 1;
      else
        WndProc(msg.message, msg.wParam, msg.lParam);
      continue;
    }

    // No frame is drawn while minimised, but Escape still ends the show.
    if ((active && !ShowFrame()) || keys[VK_ESCAPE]) {
      done = 1;
      continue;
    }
    SwapBuffers(hMainWindow);

    if (keys[VK_SPACE]) {
      keys[VK_SPACE] = false;  // one press, one switch
      // The context is kept, so textures and the font survive the switch.
      KillGLWindow(GLContextFate::Keep);
      fullscreen = !fullscreen;
      if (!CreateGLWindow(kWindowTitle, kWindowWidth, kWindowHeight, DEMO_BPP, fullscreen)) {
        ShowFreeAll();
        BBS_Close();
        Fail("Unable to refresh OpenGL window!", "Error");
        return 0;
      }
    }
  }

  ShowFreeAll();
  KillFont();
  BBS_Close();
  KillGLWindow();
  // Linux messages carry no exit code: a finished or quit show exits with 0.
  return 0;
}
