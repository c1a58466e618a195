// The show's score: loads every scene behind a "Loading" screen, and turns the
// stream position of each frame into a picture. Keeps no state of its own.
//
// Units: stream positions are bytes of decoded soundtrack (88,200 per second),
// read afresh at every test because the audio thread moves them; scene times
// are milliseconds of the demo clock minus each scene's offset. Threads: main
// thread only, with the window's OpenGL context current; nothing here is
// called from the audio thread.
#pragma once

#include <cstdint>

// Draws "Loading", has `present` show it (nullptr: only flushed, for a
// headless context), then loads title, hand, flight, castle and credits
// scenes, stopping at the first failure (that scene has shown its box) or at
// a stop signal. True when all five loaded. Call once at start-up, after
// BuildFont (the word needs the font).
bool ShowLoadAll(void (*present)());

// Draws each scene once at every accent of the score in its window, unseen,
// and puts back every OpenGL state and matrix the drawing touched: the driver
// builds what each scene's drawing needs now, not in the first frame that
// shows it (a jump into a scene included), and textures a scene reads when it
// first runs are read. The frames drawn afterwards are the same, pixel for
// pixel. Call after ShowLoadAll; the back buffer is left drawn on.
void ShowWarmUp();

// Draws the frame of the current stream position; 0 once the show is over
// (nothing drawn then), 1 otherwise. The caller presents the frame.
int ShowFrame();

// Frees every scene's texture pixel buffers; safe when none or only some were
// loaded. Models and OpenGL texture names are kept to the end of the process.
void ShowFreeAll();
