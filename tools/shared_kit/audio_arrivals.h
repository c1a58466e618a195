// A second recording of what the sink played, by another client (pw-record,
// parec: any command that writes raw 16-bit stereo at the rate to its
// standard output), timed only by when its sound arrived here. Recorders
// timed by the server can be displaced as the show is (a stalled server
// moves both streams' reports alike); arrivals cannot, and sound arrives only
// after it was heard.
//
// Units: frames are stereo pairs at `rate` Hz; times are CLOCK_MONOTONIC
// nanoseconds. Main thread only (the reading runs on a thread of its own).
#pragma once

#include "tools/shared_kit/audio_loopback.h"

// Starts `command` through /bin/sh, in a process group of its own (a loop
// that starts the recorder again after a server's restart is ended whole);
// false when it cannot be started.
bool ArrivalsStart(const char* command, int rate);
// Ends the command and hands its recording over, anchored by
// AnchorsFromArrivals; false when nothing came.
bool ArrivalsStop(TimedSound* recording);
