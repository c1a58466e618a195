// Modal message boxes: the stand-in for MessageBoxA.
//
// The show reports every failure in a box with no owner window. Where a
// display exists the box is an SDL message box; without one the box is printed
// to stderr as "TITLE: TEXT" and a question answers No. Tests record boxes
// instead of showing them, so no test ever blocks on one.
//
// Threads: main thread only; a box blocks its caller until it is answered.
// The recording switch and log are unsynchronised module state. Texts are
// copied (when recorded) or shown during the call; the caller keeps its own.
#pragma once

#include <string>
#include <vector>

// Box styles, with the values the show's messages were written with.
enum : unsigned {
  MB_OK = 0x0,
  MB_YESNO = 0x4,
  MB_ICONSTOP = 0x10,
  MB_ICONERROR = 0x10,
  MB_ICONEXCLAMATION = 0x30,
  MB_ICONWARNING = 0x30,
  MB_ICONINFORMATION = 0x40,
  MB_SYSTEMMODAL = 0x1000,
};

// Answers.
enum : int { IDOK = 1, IDYES = 6, IDNO = 7 };

// Shows a modal box and returns the button chosen: IDOK for a plain box,
// IDYES or IDNO for an MB_YESNO question.
int MessageBoxA(const char* text, const char* caption, unsigned style);

// How many boxes other than questions this process has shown (or recorded):
// each reports a failure, so the exit status can tell one happened.
int MessageBoxShownCount();

// Test support: while recording, boxes are appended to the log and never shown;
// an MB_YESNO question answers `questionAnswer`. Starting clears the log.
// MessageBoxLog returns the live log: its entries move when a box is added.
struct RecordedBox {
  std::string text;
  std::string caption;
  unsigned style;
};
void MessageBoxStartRecording(int questionAnswer = IDNO);
void MessageBoxStopRecording();
const std::vector<RecordedBox>& MessageBoxLog();
