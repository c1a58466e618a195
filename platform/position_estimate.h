// The position estimate: what the show reads as "heard now", built from the
// output's reports, and how far the show's time line has moved against the
// monotonic clock, which the demo clock follows.
//
// In: the latest report (in stream frames) and the time of the read. Out: the
// stream frame heard now, a request that the sound skip ahead to where the
// show is, and the clock's shift. No threads, no output: the audio layer
// (platform/bass.cpp) feeds it, and tests drive it with a simulated server.
//
// Behaviour:
//   - Before the first report the estimate stays at the start.
//   - Following: a line at the output's rate through the reports, bent
//     toward them by up to 5 % of speed, moved at once to a report further
//     off than 20 ms (a jump), held at the report's cap (the output has
//     nothing more to play). It never goes back: a line behind the last
//     answer holds until it passes it.
//   - Nothing heard for a second (five before the first report): the show
//     goes on by the clock, and asks the sound to skip ahead to it.
//   - The sound returns: once the sound that skipped ahead moves (a report
//     from it whose frame lies past the one before: a new stream may stand
//     still for a second while its sink wakes), the estimate takes
//     what is heard from there on (the rejoin). Sound that starts moving
//     more than 0.1 s behind the show is asked once more to skip ahead,
//     rather than hold the picture until it catches up.
//   - Silence is sound that stands still: an answer held while the sound
//     catches up with it is not.
//   - Paused: the answer holds, and nothing counts as silence; resumed, the
//     estimate goes on from where it held, as after a hold of the sound.
//   - A jump (a seek): the answer is the new frame from then on, and the
//     estimate waits there for the sound played from it, as at play.
//   - The clock's shift is the time line's distance from a line started at
//     play, moved in steps of at least a millisecond: a healthy run never
//     moves it; a hold, jump, free run, rejoin or a steady drift between the
//     sink's clock and the monotonic one moves it by what the position moved.
//
// Units: stream frames (output frames of the decoded file), monotonic
// nanoseconds, and milliseconds for the shift.
#pragma once

#include <cstdint>

struct HeardReport {
  uint32_t count = 0;     // reports since play; 0: nothing heard yet
  int64_t frame = 0;      // stream frame reaching the ear at `nanos`
  int64_t nanos = 0;
  int64_t capFrame = 0;   // nothing beyond is heard before the next report
  uint32_t segment = 0;   // the skip whose sound `frame` belongs to; 0: before any
  bool moving = false;    // `frame` lies past the output's report before it, in the same segment
};

struct PositionEstimate {
  enum Mode { kWaiting, kFollowing, kFree };
  int rate = 0;                 // output frames per second
  double start = 0;             // stream frame where playback starts (or the last jump lands)
  bool playing = false;
  int64_t playNanos = 0;        // when playback started (or the last jump): the clock's shift counts from here
  int64_t waitNanos = 0;        // when the wait for the first sound began, pauses left out
  int64_t pacedNanos = 0;       // where an output that cannot tell counts from, pauses left out
  uint32_t waitSegment = 0;     // the skip whose sound ends the wait (a jump's; 0 at play)
  bool paused = false;
  int64_t pausedNanos = 0;      // when the pause began
  bool frozen = false;          // set when stopped: answers stay where they were
  Mode mode = kWaiting;
  double baseFrame = 0;         // the line is baseFrame + rate * (now - baseNanos)
  int64_t baseNanos = 0;
  double last = 0;              // stream frame last answered
  int64_t lastNanos = 0;
  int64_t advancedNanos = 0;    // when the followed line last grew
  uint32_t freeReports = 0;     // reports seen when the free run began or last asked a skip
  bool skippedAgain = false;    // this free run asked the returning sound to skip once more
  double followed = 0;          // the followed line's last value
  // The skip asked of the audio thread: serial (0: none yet), and the stream
  // frame the show was at at that moment.
  uint32_t skipSerial = 0;
  int64_t skipFrame = 0;
  int64_t skipNanos = 0;
  double clockShift = 0;        // ms
};

// Back to before play, with playback to start at `startFrame`.
void EstimateReset(PositionEstimate* estimate, int rate, int64_t startFrame);
void EstimatePlay(PositionEstimate* estimate, int64_t nanos);
// The stream frame heard at `now`. `report` is the output's latest; nullptr
// for an output that cannot tell what is heard (the position runs by the
// clock from play). A new skip request shows as a new `skipSerial`.
double EstimateRead(PositionEstimate* estimate, int64_t now, const HeardReport* report);
// Holds the answer until EstimateResume; the caller reads it first.
void EstimatePause(PositionEstimate* estimate, int64_t now);
void EstimateResume(PositionEstimate* estimate, int64_t now);
// A jump to `frame`: answered from now on, held until the sound of skip
// `segment` (a new skipSerial the caller took for the jump) is heard there.
void EstimateSeek(PositionEstimate* estimate, int64_t frame, int64_t now, uint32_t segment);
// Milliseconds the show's time line stands ahead of one started at play.
inline double EstimateClockShift(const PositionEstimate& estimate) { return estimate.clockShift; }
