#include "platform/stop_signal.h"

#include <SDL_hints.h>

#include <atomic>
#include <csignal>

// The handler and the main thread each write one flag and then read the
// other's, both sequentially consistent: whichever comes second sees the
// first, so a stop arriving at any instant either keeps the box from waiting
// or ends the waiting process. Lock-free, so a signal handler may touch them.
static std::atomic<int> StopSignal{0};  // the first SIGINT or SIGTERM seen; 0: none
static std::atomic<int> Waiting{0};     // 1 while a modal wait holds the main thread
static_assert(std::atomic<int>::is_always_lock_free, "the signal handler needs lock-free flags");

static void EndNow(int signal) {
  std::signal(signal, SIG_DFL);
  std::raise(signal);
}

static void OnStopSignal(int signal) {
  // Nothing to wait for: a box would hold the show until someone clicks,
  // and a second request means the first was not enough.
  if (StopSignal.exchange(signal) != 0 || Waiting.load() != 0) EndNow(signal);
}

void InstallStopSignals() {
  SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
  struct sigaction action = {};
  action.sa_handler = OnStopSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = 0;  // no SA_RESTART: a blocking call returns with EINTR
  for (int signal : {SIGINT, SIGTERM}) {
    // An ignored signal stays ignored (a shell's background job ignores
    // SIGINT, so that Ctrl-C reaches only the foreground).
    struct sigaction old = {};
    if (sigaction(signal, nullptr, &old) == 0 && old.sa_handler == SIG_IGN) continue;
    sigaction(signal, &action, nullptr);
  }
}

bool StopSignalled() { return StopSignal.load() != 0; }

bool BeginStoppableWait() {
  Waiting.store(1);
  if (StopSignal.load() == 0) return true;
  Waiting.store(0);
  return false;
}

void EndStoppableWait() { Waiting.store(0); }
