#include "platform/msgbox.h"

#include "platform/msgbox_display.h"
#include "platform/stop_signal.h"

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

int MessageBoxA(const char* text, const char* caption, unsigned style) {
  const bool question = (style & 0xF) == MB_YESNO;
  if (!question) ++Boxes.shown;
  if (Boxes.recording) {
    Boxes.log.push_back({text ? text : "", caption ? caption : "", style});
    return question ? Boxes.questionAnswer : IDOK;
  }
  // Asked to end: nobody waits for an answer now. From here on a stop
  // signal ends the process, box and all.
  if (BeginStoppableWait()) {
    int answer = 0;
    const bool answered = DisplayMessageBox(text ? text : "", caption ? caption : "", style, &answer);
    EndStoppableWait();
    if (answered) return answer;
  }

  // No display to show it on: the terminal is the only place left.
  std::fprintf(stderr, "%s: %s\n", caption ? caption : "", text ? text : "");
  return question ? IDNO : IDOK;
}
