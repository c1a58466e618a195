// The show's score: where in the soundtrack each scene starts, where the show
// ends, and the accents where picture and music hit together (a flash, a cut,
// a pose change). Written once here; the timeline and the scenes draw by it,
// the soundtrack generator puts a hit on every accent, and the tools measure
// sync at each. Marks that only one scene uses and nobody measures (a texture
// change, the end of a fade) stay in that scene.
//
// Units: stream bytes, kStreamBytesPerSecond (88,200) to the second, compared
// unsigned; a window from A until B holds for A <= position < B. The seconds
// in the comments are for orientation.
#pragma once

#include "platform/bass.h"

#include <cstdint>

// Stream bytes in a millisecond: 88.2, the same double as the literal.
constexpr double kStreamBytesPerMilli = kStreamBytesPerSecond / 1000.0;

// ---------------------------------------------------------------------------
// Scenes, in show order: each runs from its start until the next one's
// ---------------------------------------------------------------------------
constexpr uint32_t kTitleStart = 150500;      //   1.7 s: black until here
constexpr uint32_t kHandStart = 5359744;      //  60.8 s
constexpr uint32_t kCastleStart = 6338104;    //  71.9 s
constexpr uint32_t kFlightStart = 8364624;    //  94.8 s
constexpr uint32_t kCreditsStart = 9389696;   // 106.5 s
constexpr uint32_t kClosingStart = 11575424;  // 131.2 s: the closing lines under a fading white flash
constexpr uint32_t kShowEnd = 11750424;       // 133.2 s: nothing more is drawn

// The title scene's first frame. Every run draws it before any later moment;
// a show started later draws it once, unseen, to begin where every run has
// been (the scenes leave texturing and blending off behind them, and the
// closing lines rely on that).
constexpr uint32_t kShowFirstScene = kTitleStart;

// ---------------------------------------------------------------------------
// Accents within the scenes
// ---------------------------------------------------------------------------
constexpr uint32_t kTitleRide = 2777088;          //  31.5 s: the fade-in ends, the ride along the path begins
constexpr uint32_t kTitleMirroredRide = 3966944;  //  45.0 s
constexpr uint32_t kTitlePair = 4852736;          //  55.0 s: the pair comes closer
constexpr uint32_t kTitleFaces = 5112064;         //  58.0 s: the faces meet

// The hand jumps between poses twice, and flashes once on its own between.
constexpr uint32_t kHandPose1 = 5484160;       //  62.2 s
constexpr uint32_t kHandPose2 = 5526144;       //  62.7 s
constexpr uint32_t kHandPose3 = 5571712;       //  63.2 s
constexpr uint32_t kHandPose0 = 5599984;       //  63.5 s: back to the first pose
constexpr uint32_t kHandFlash = 5847360;       //  66.3 s
constexpr uint32_t kHandPose1Again = 5969152;  //  67.7 s
constexpr uint32_t kHandPose2Again = 6013952;  //  68.2 s
constexpr uint32_t kHandPose3Again = 6059264;  //  68.7 s
constexpr uint32_t kHandPose0Again = 6092288;  //  69.1 s

constexpr uint32_t kCastleFogLifts = 6850048;    //  77.7 s
constexpr uint32_t kCastleFogReturns = 7364640;  //  83.5 s

constexpr uint32_t kFlightOntoThePath = 8875600;  // 100.6 s: the fixed view ends, the camera takes to the path
// Five beats near the end, each starting while the one before still shows.
constexpr uint32_t kFlightBeats[5] = {9233408, 9260864, 9293488, 9323624, 9352320};  // 104.7 to 106.0 s

// 106.4 s: the credits' first flash starts while the flight scene is still on
// screen, so the cut lands 24 steps into its fade: a flam.
constexpr uint32_t kCreditsCutFlash = 9387760;
constexpr uint32_t kCreditsBeat = 10475858;  // 118.8 s

// ---------------------------------------------------------------------------
// Every mark the soundtrack accents, in order, for the tools
// ---------------------------------------------------------------------------
struct ScoreMark {
  uint32_t bytes;
  const char* what;
};
constexpr ScoreMark kScoreMarks[] = {
    {kTitleStart, "title scene starts: first picture"},
    {kTitleRide, "title: flash, the models start along the path"},
    {kTitleMirroredRide, "title: flash, the two models side by side"},
    {kTitlePair, "title: flash, the models stop in place"},
    {kTitleFaces, "title: flash, the two faces slide in"},
    {kHandStart, "hand scene starts under its flash"},
    {kHandPose1, "hand: pose 1"},
    {kHandPose2, "hand: pose 2"},
    {kHandPose3, "hand: pose 3"},
    {kHandPose0, "hand: back to pose 0"},
    {kHandFlash, "hand: a flash of its own"},
    {kHandPose1Again, "hand: pose 1"},
    {kHandPose2Again, "hand: pose 2"},
    {kHandPose3Again, "hand: pose 3"},
    {kHandPose0Again, "hand: back to pose 0"},
    {kCastleStart, "castle scene starts under its flash"},
    {kCastleFogLifts, "castle: flash, the fog lifts (breakdown)"},
    {kCastleFogReturns, "castle: flash, the fog returns"},
    {kFlightStart, "flight scene starts under its flash"},
    {kFlightOntoThePath, "flight: flash, the camera takes the path"},
    {kFlightBeats[0], "flight: beat flash 1 (tom fill)"},
    {kFlightBeats[1], "flight: beat flash 2"},
    {kFlightBeats[2], "flight: beat flash 3"},
    {kFlightBeats[3], "flight: beat flash 4"},
    {kFlightBeats[4], "flight: beat flash 5"},
    {kCreditsCutFlash, "credits flash starts, 22 ms before the cut: a flam"},
    {kCreditsStart, "credits scene starts"},
    {kCreditsBeat, "credits: flash on the beat"},
    {kClosingStart, "closing lines under the final white fade: last chord"},
    {kShowEnd, "the show ends"},
};
constexpr int kScoreMarkCount = int(sizeof kScoreMarks / sizeof kScoreMarks[0]);
