#include "platform/msgbox.h"

#include "platform/stop_signal.h"

#include <SDL.h>

#include <cstdio>

// ---------------------------------------------------------------------------
// State
// ---------------------------------------------------------------------------
static struct {
  bool recording = false;        // true: log boxes instead of showing them
  int questionAnswer = IDNO;     // what a recorded question answers
  std::vector<RecordedBox> log;  // boxes seen while recording, oldest first
  int shown = 0;                 // boxes other than questions, recorded or not
} Boxes;

int MessageBoxShownCount() { return Boxes.shown; }

void MessageBoxStartRecording(int questionAnswer) {
  Boxes.recording = true;
  Boxes.questionAnswer = questionAnswer;
  Boxes.log.clear();
}

void MessageBoxStopRecording() { Boxes.recording = false; }

const std::vector<RecordedBox>& MessageBoxLog() { return Boxes.log; }

static Uint32 SdlFlagsFor(unsigned style) {
  switch (style & 0xF0) {
    case MB_ICONSTOP: return SDL_MESSAGEBOX_ERROR;
    case MB_ICONINFORMATION: return SDL_MESSAGEBOX_INFORMATION;
    default: return SDL_MESSAGEBOX_WARNING;
  }
}

int MessageBoxA(const char* text, const char* caption, unsigned style) {
  const bool question = (style & 0xF) == MB_YESNO;
  if (!question) ++Boxes.shown;
  if (Boxes.recording) {
    Boxes.log.push_back({text ? text : "", caption ? caption : "", style});
    return question ? Boxes.questionAnswer : IDOK;
  }

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

  // Asked to end: nobody waits for an answer now. From here on a stop
  // signal ends the process, box and all.
  if (BeginStoppableWait()) {
    int answer = 0;
    const bool answered = SDL_ShowMessageBox(&box, &answer) == 0 && answer != -1;
    EndStoppableWait();
    if (answered) return answer;
  }

  // No display to show it on: the terminal is the only place left.
  std::fprintf(stderr, "%s: %s\n", caption ? caption : "", text ? text : "");
  return question ? IDNO : IDOK;
}
