// Showing one message box on the platform's display, for platform/msgbox.cpp
// (which records, counts and falls back to stderr): SDL's boxes on Linux, a
// dialog in the page in a browser.
#pragma once

// Shows the box and waits for its answer (IDOK, IDYES, IDNO) in *answer.
// False when there is no display to show it on.
bool DisplayMessageBox(const char* text, const char* caption, unsigned style, int* answer);
