// Message boxes in a browser: a dialog in the page with the box's title and
// text. The page shows them one after another as they come; the show does not
// wait for the click (a page cannot block), so a question, which the show
// asks only about a display mode a page never switches, answers No.
#include "platform/msgbox.h"
#include "platform/msgbox_display.h"

#include <emscripten.h>

// clang-format off
EM_JS(void, velmora_dialog, (const char* text, const char* caption, int style), {
  if (Module.showDialog) Module.showDialog(UTF8ToString(caption), UTF8ToString(text), style);
});
// clang-format on

bool DisplayMessageBox(const char* text, const char* caption, unsigned style, int* answer) {
  velmora_dialog(text, caption, int(style));
  *answer = (style & 0xF) == MB_YESNO ? IDNO : IDOK;
  return true;
}
