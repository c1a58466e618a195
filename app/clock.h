// The demo clock: milliseconds since the soundtrack was started.
//
// The stream position decides what the show draws; this clock drives motion
// inside the scenes. It prefers the performance counter and falls back to the
// millisecond timer where there is none. Main thread only.
#pragma once

// Starts the clock; called right after playback starts.
void TimerInit();

// Moves the clock's zero `millis` earlier: a show started partway reads the
// clock the whole show would read at that moment.
void TimerAdvance(float millis);

// Milliseconds since TimerInit, as a 32-bit float. Before TimerInit: 0.
float TimerGetTime();
