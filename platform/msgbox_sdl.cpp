// Message boxes on Linux: SDL's, which need no window of the show's.
#include "platform/msgbox.h"
#include "platform/msgbox_display.h"

#include <SDL.h>

static Uint32 SdlFlagsFor(unsigned style) {
  switch (style & 0xF0) {
    case MB_ICONSTOP: return SDL_MESSAGEBOX_ERROR;
    case MB_ICONINFORMATION: return SDL_MESSAGEBOX_INFORMATION;
    default: return SDL_MESSAGEBOX_WARNING;
  }
}

bool DisplayMessageBox(const char* text, const char* caption, unsigned style, int* answer) {
  const bool question = (style & 0xF) == MB_YESNO;
  SDL_MessageBoxButtonData yesNo[] = {
      {SDL_MESSAGEBOX_BUTTON_RETURNKEY_DEFAULT, IDYES, "Yes"},
      {SDL_MESSAGEBOX_BUTTON_ESCAPEKEY_DEFAULT, IDNO, "No"},
  };
  SDL_MessageBoxButtonData ok[] = {
      {SDL_MESSAGEBOX_BUTTON_RETURNKEY_DEFAULT | SDL_MESSAGEBOX_BUTTON_ESCAPEKEY_DEFAULT, IDOK, "OK"},
  };
  SDL_MessageBoxData box{};
  box.flags = SdlFlagsFor(style);
  box.title = caption;
  box.message = text;
  box.numbuttons = question ? 2 : 1;
  box.buttons = question ? yesNo : ok;
  return SDL_ShowMessageBox(&box, answer) == 0 && *answer != -1;
}
