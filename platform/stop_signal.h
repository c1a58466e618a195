// SIGINT and SIGTERM: the stand-in for a close request the desktop sends.
//
// The first signal asks the show to end, as closing its window does: the
// message queue hands out WM_QUIT (exit code 0) and StopSignalled() turns
// true, so that start-up can stop between its steps. A second signal, or one
// that arrives while a modal wait (a message box) holds the main thread, ends
// the process at once with the signal's default action: nobody is there to
// answer the box. A signal the process inherited as ignored stays ignored.
//
// Threads: the handler may run on any thread; the flags are lock-free
// atomics, read and written from all of them.
#pragma once

// Install before SDL starts (SDL is told to leave the signals alone).
void InstallStopSignals();

// True once a stop signal has arrived.
bool StopSignalled();

// Brackets a wait that only a person can end. BeginStoppableWait returns
// false, and the caller must not wait, when a stop has already arrived; from
// its true return until EndStoppableWait a stop ends the process at once.
bool BeginStoppableWait();
void EndStoppableWait();
