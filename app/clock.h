// The demo clock: milliseconds since the first frame of the soundtrack was
// heard, as a 32-bit float.
//
// The stream position decides what the show draws; this clock drives motion
// inside the scenes. Both must agree: the show starts the clock once the
// position has moved (the first frame is heard; a sleeping sound server takes
// up to two seconds) and advances it by what was heard by then. Afterwards it
// runs on the counters, and moves by what the soundtrack's time line moves
// when the position holds, jumps, goes on without sound or rejoins it (the
// time sources' clockShift); it holds rather than go back. The clock prefers
// the performance counter and falls back to the millisecond timer where there
// is none (app/time_sources.h). Main thread only.
#pragma once

// Starts the clock at 0 ms now.
void TimerInit();

// Moves the clock's zero `millis` earlier: a show started partway reads the
// clock the whole show would read at that moment.
void TimerAdvance(float millis);

// Milliseconds since TimerInit, as a 32-bit float. Before TimerInit: 0.
float TimerGetTime();

// The show jumped: the clock reads `millis` now and runs on from there,
// following the soundtrack's time line again from its new start. The only
// time the clock goes back.
void TimerSeek(float millis);

// Stops the clock at `millis`: it reads exactly that until the next
// TimerInit. For a show held at one moment (tests).
void TimerHold(float millis);
