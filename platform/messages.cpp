#include "platform/messages.h"

#include "platform/stop_signal.h"

#include <SDL.h>

#include <deque>

// Messages posted by the show itself (WM_QUIT), taken before SDL's events.
static std::deque<MSG> PostedMessages;
static uint32_t MessageWindowId = 0;  // the show window's SDL ID; 0 while there is none

static bool StopPosted = false;                     // its WM_QUIT has been handed out

void SetMessageWindow(uint32_t windowId) { MessageWindowId = windowId; }

int VirtualKeyFromSDL(int32_t key) {
  switch (key) {
    case SDLK_ESCAPE: return 27;
    case SDLK_SPACE: return 32;
    case SDLK_RETURN: return 13;
    case SDLK_TAB: return 9;
    case SDLK_BACKSPACE: return 8;
    case SDLK_HOME: return 36;
    case SDLK_END: return 35;
    case SDLK_AUDIOPLAY: return 0xB3;  // VK_MEDIA_PLAY_PAUSE
    case SDLK_LEFT: return 37;
    case SDLK_UP: return 38;
    case SDLK_RIGHT: return 39;
    case SDLK_DOWN: return 40;
    default: break;
  }
  if (key >= SDLK_0 && key <= SDLK_9) return 48 + (key - SDLK_0);
  if (key >= SDLK_a && key <= SDLK_z) return 65 + (key - SDLK_a);
  if (key >= SDLK_F1 && key <= SDLK_F12) return 112 + (key - SDLK_F1);
  return -1;
}

static int64_t SizeParam(int width, int height) {
  return int64_t(uint16_t(width)) | (int64_t(uint16_t(height)) << 16);
}

bool MessageFromSDLEvent(const SDL_Event& event, MSG* msg) {
  *msg = MSG{};
  switch (event.type) {
    case SDL_QUIT:  // the window manager's close, or SIGTERM
      msg->message = WM_CLOSE;
      return true;
    case SDL_KEYDOWN:
    case SDL_KEYUP: {
      if (event.key.repeat) return false;  // a held key: one press, one key-down
      // Keys go to the window with the focus; 0 when none has it.
      if (event.key.windowID != 0 && event.key.windowID != MessageWindowId) return false;
      const int vk = VirtualKeyFromSDL(event.key.keysym.sym);
      if (vk < 0) return false;
      msg->message = event.type == SDL_KEYDOWN ? WM_KEYDOWN : WM_KEYUP;
      msg->wParam = uint64_t(vk);
      return true;
    }
    case SDL_WINDOWEVENT:
      if (event.window.windowID != MessageWindowId) return false;  // a window destroyed since
      switch (event.window.event) {
        case SDL_WINDOWEVENT_CLOSE:
          msg->message = WM_CLOSE;
          return true;
        case SDL_WINDOWEVENT_MINIMIZED:
        case SDL_WINDOWEVENT_HIDDEN:
          msg->message = WM_ACTIVATE;
          msg->wParam = uint64_t(1) << 16;  // minimised flag in the high word
          return true;
        case SDL_WINDOWEVENT_RESTORED:
        case SDL_WINDOWEVENT_MAXIMIZED:
        case SDL_WINDOWEVENT_SHOWN:
          msg->message = WM_ACTIVATE;
          msg->wParam = 1;  // WA_ACTIVE, not minimised
          return true;
        case SDL_WINDOWEVENT_SIZE_CHANGED:
          msg->message = WM_SIZE;
          msg->lParam = SizeParam(event.window.data1, event.window.data2);
          return true;
        default:
          return false;
      }
    default:
      return false;
  }
}

bool PeekMessageA(MSG* msg) {
  if (StopSignalled() && !StopPosted) {
    StopPosted = true;
    PostQuitMessage(0);
  }
  if (!PostedMessages.empty()) {
    *msg = PostedMessages.front();
    PostedMessages.pop_front();
    return true;
  }
  if (!SDL_WasInit(SDL_INIT_VIDEO)) return false;
  SDL_Event event;
  while (SDL_PollEvent(&event)) {
    if (MessageFromSDLEvent(event, msg)) return true;
  }
  return false;
}

void WaitMessage(int milliseconds) {
  if (!PostedMessages.empty() || (StopSignalled() && !StopPosted)) return;
  if (!SDL_WasInit(SDL_INIT_VIDEO)) {
    SDL_Delay(Uint32(milliseconds > 0 ? milliseconds : 0));
    return;
  }
  SDL_WaitEventTimeout(nullptr, milliseconds);  // null: the event stays queued
}

void PostQuitMessage(int exitCode) {
  MSG quit{};
  quit.message = WM_QUIT;
  quit.wParam = uint64_t(exitCode);
  PostedMessages.push_back(quit);
}
