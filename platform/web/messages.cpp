// Window messages in a browser: the page's key, visibility and resize events
// become the window messages the show's window procedure handles, with the
// codes a Win32 window would get (a DOM keyCode is a Win32 virtual-key code
// for every key the show reads). A held key's repeats are dropped: one press,
// one key-down.
#include "platform/messages.h"

#include <emscripten.h>
#include <emscripten/html5.h>

#include <deque>

static struct {
  std::deque<MSG> queue;     // posted messages and the page's events, oldest first
  uint32_t windowId = 0;     // the show window; 0 while there is none: events are dropped
  bool listening = false;    // the page's callbacks are installed
} Messages;

static void Post(unsigned message, uint64_t wParam, int64_t lParam) {
  if (Messages.windowId == 0) return;
  Messages.queue.push_back(MSG{message, wParam, lParam});
}

// Keys the show reads, and the keys a browser must not act on while it plays
// (Space scrolls, the arrows scroll): those are taken from the page.
static EM_BOOL OnKey(int eventType, const EmscriptenKeyboardEvent* event, void*) {
  const unsigned code = event->keyCode;
  if (code == 0 || code >= 256) return EM_FALSE;
  if (!event->repeat) Post(eventType == EMSCRIPTEN_EVENT_KEYDOWN ? WM_KEYDOWN : WM_KEYUP, code, 0);
  return code == VK_SPACE || (code >= 37 && code <= 40) || code == 36 ? EM_TRUE : EM_FALSE;
}

static EM_BOOL OnVisibility(int, const EmscriptenVisibilityChangeEvent* event, void*) {
  // A hidden tab is a minimised window: no frames, and the music plays on.
  Post(WM_ACTIVATE, event->hidden ? uint64_t(1) << 16 : 1, 0);
  return EM_FALSE;
}

static void Listen() {
  if (Messages.listening) return;
  Messages.listening = true;
  emscripten_set_keydown_callback(EMSCRIPTEN_EVENT_TARGET_WINDOW, nullptr, EM_TRUE, OnKey);
  emscripten_set_keyup_callback(EMSCRIPTEN_EVENT_TARGET_WINDOW, nullptr, EM_TRUE, OnKey);
  emscripten_set_visibilitychange_callback(nullptr, EM_TRUE, OnVisibility);
}

void SetMessageWindow(uint32_t windowId) {
  Messages.windowId = windowId;
  if (windowId == 0) Messages.queue.clear();  // its events are stale now
  else Listen();
}

bool PeekMessageA(MSG* msg) {
  if (Messages.queue.empty()) return false;
  *msg = Messages.queue.front();
  Messages.queue.pop_front();
  return true;
}

// The browser gets control back meanwhile: its events arrive, the sound
// plays, the page stays alive.
void WaitMessage(int milliseconds) {
  if (!Messages.queue.empty()) return;
  emscripten_sleep(unsigned(milliseconds > 0 ? milliseconds : 0));
}

void PostQuitMessage(int exitCode) { Messages.queue.push_back(MSG{WM_QUIT, uint64_t(exitCode), 0}); }
