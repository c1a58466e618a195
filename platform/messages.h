// Window messages: the stand-in for the Win32 message queue.
//
// SDL events are translated into the few window messages the show's window
// procedure handles, with Win32's codes and parameter layout, so that the main
// loop and the window procedure read as they would on Windows. Only the events
// of the show's current window count: those of a window destroyed since, still
// queued, are dropped, and so are a held key's auto-repeats (one press, one
// key-down). A stop signal (platform/stop_signal.h) arrives as WM_QUIT.
// Main thread only.
#pragma once

#include <cstdint>

struct MSG {
  unsigned message;  // WM_... code
  uint64_t wParam;
  int64_t lParam;
};

enum : unsigned {
  WM_SIZE = 0x0005,        // lParam: client width in the low word, height in the high word (pixels)
  WM_ACTIVATE = 0x0006,    // wParam: high word nonzero while minimised or hidden
  WM_CLOSE = 0x0010,
  WM_QUIT = 0x0012,        // wParam: the exit code given to PostQuitMessage
  WM_KEYDOWN = 0x0100,     // wParam: virtual-key code
  WM_KEYUP = 0x0101,
};

// Virtual-key codes of the keys the show reads: Escape, Space, the letter P
// (its code is its capital's), Home, Left and Right, and the keyboard's
// Play/Pause media key.
enum : unsigned {
  VK_ESCAPE = 27,
  VK_SPACE = 32,
  VK_HOME = 36,
  VK_LEFT = 37,
  VK_RIGHT = 39,
  VK_P = 'P',
  VK_MEDIA_PLAY_PAUSE = 0xB3,
};

// Win32 virtual-key code of an SDL key code, or -1 for keys without one.
// Mapped: Escape, Space, Return, Tab, Backspace, Home, End, the arrows, 0-9,
// A-Z, F1-F12, and the Play/Pause media key.
int VirtualKeyFromSDL(int32_t sdlKeycode);

// Takes one message off the queue into *msg (PeekMessage with PM_REMOVE).
// Returns false when the queue is empty. Pumps SDL's events when needed.
bool PeekMessageA(MSG* msg);

// Sleeps until an event arrives or `milliseconds` pass, leaving the event
// queued. For a loop that has nothing to draw.
void WaitMessage(int milliseconds);

// The SDL window ID whose events become messages; 0 while there is none.
void SetMessageWindow(uint32_t windowId);

// Queues WM_QUIT with `exitCode` as its wParam.
void PostQuitMessage(int exitCode);

// Translates one SDL event into a message; false when it has no counterpart.
// Exposed for tests.
union SDL_Event;
bool MessageFromSDLEvent(const SDL_Event& event, MSG* msg);
