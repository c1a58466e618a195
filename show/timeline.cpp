// The show's score. Everything a frame draws follows from the stream position,
// read afresh at every test (the audio thread moves it between reads), and the
// demo clock, read afresh for each scene call. No state of its own besides the
// scene table, which only the test hook changes.
//
// Depends on: fx/* (the five scenes), render/text, render/overlay,
// app/soundtrack (stream position), app/clock, platform/crt_rand (the
// flashing words' places). The caller presents the loading screen.
#include "show/timeline.h"

#include "app/clock.h"
#include "app/soundtrack.h"
#include "app/time_sources.h"
#include "fx/castle.h"
#include "fx/credits.h"
#include "fx/flight.h"
#include "fx/hand.h"
#include "fx/title.h"
#include "platform/crt_rand.h"
#include "platform/stop_signal.h"
#include "render/overlay.h"
#include "render/text.h"
#include "show/score.h"
#include "show/timeline_hook.h"

#include <GL/gl.h>

#include <cmath>
#include <cstdint>
#include <initializer_list>

static const uint32_t kClosingFlashDivisor = 100;  // the closing flash fades over 100,000 bytes

// ---------------------------------------------------------------------------
// Scenes
// ---------------------------------------------------------------------------
static constexpr ShowSceneOps kOwnSceneOps[kSceneCount] = {
    {LoadTitleScene, RenderTitleScene, FreeTitleScene},
    {LoadHandScene, RenderHandScene, FreeHandScene},
    {LoadCastleScene, RenderCastleScene, FreeCastleScene},
    {LoadFlightScene, RenderFlightScene, FreeFlightScene},
    {LoadCreditsScene, RenderCreditsScene, FreeCreditsScene},
};
static ShowSceneOps SceneOps[kSceneCount] = {kOwnSceneOps[0], kOwnSceneOps[1], kOwnSceneOps[2], kOwnSceneOps[3],
                                             kOwnSceneOps[4]};  // what the frame calls

// Flight loads before castle: the load order is not the show order.
static const ShowSceneId kLoadOrder[kSceneCount] = {kSceneTitle, kSceneHand, kSceneFlight, kSceneCastle,
                                                    kSceneCredits};

// Contiguous windows, from <= p < until. The offset is the scene's zero on the
// demo clock, 0.34 to 0.56 s before its first mark.
static const struct {
  ShowSceneId scene;
  uint32_t from, until;
  float offset;  // milliseconds
} kSceneWindows[] = {
    {kSceneTitle, kTitleStart, kHandStart, 1300.0f},
    {kSceneHand, kHandStart, kCastleStart, 60300.0f},
    {kSceneCastle, kCastleStart, kFlightStart, 71300.0f},
    {kSceneFlight, kFlightStart, kCreditsStart, 94500.0f},
    {kSceneCredits, kCreditsStart, kClosingStart, 106000.0f},
};

void ShowHookScene(ShowSceneId scene, const ShowSceneOps* ops) {
  if (scene < 0 || scene >= kSceneCount) return;
  SceneOps[scene] = ops ? *ops : kOwnSceneOps[scene];
}

// ---------------------------------------------------------------------------
// Words (Windows-1252 texts, eye-space places)
// ---------------------------------------------------------------------------
struct Word {
  const char* text;
  uint32_t from;  // shown from here until its line's end
  float x, y, z;
};

// Two lines whose words appear one by one and vanish together.
static const Word kLineOne[] = {{"Mi", 5380096, -2.0f, 1.5f, -8.0f}, {"dios", 5408512, 1.0f, 1.1f, -7.0f}};
static const uint32_t kLineOneEnd = 5601280;  // 63.5 s
static const Word kLineTwo[] = {
    {"el", 5625088, -1.0f, 0.0f, -6.0f},   {"mundo", 5663488, 1.3f, -1.6f, -8.5f},
    {"esta", 5708808, 1.4f, -1.0f, -8.0f}, {"en", 5742592, 1.4f, -0.4f, -6.0f},
    {"tus", 5762816, -1.4f, -0.9f, -6.0f}, {"manos", 5788160, 1.0f, 1.6f, -5.0f},
};
static const uint32_t kLineTwoEnd = 5847552;  // 66.3 s
static const Word kSenor = {"Se\xF1or", 5867264, 0.0f, 0.0f, -6.0f};
static const uint32_t kSenorEnd = 5967360;  // 67.7 s

// Words that jump every frame among 25 places.
static const struct {
  const char* text;
  uint32_t from, until;
} kFlashingWords[] = {
    {"Colgados", 6229504, 6334720},
    {"Odio", kFlightStart, 8423776},  // from the flight scene's first frame
    {"Destrozar\xE1", 8523776, 8712192},
};

static const char kClosingName[] = "Quintrel";
static const char kClosingAddress[] = "www.quintrel.example";

static const float kOpaque = 100.0f;  // text opacity, percent

static ShowTextOp DrawText = DrawTextAt;  // the test hook may replace it

void ShowHookText(ShowTextOp op) { DrawText = op ? op : DrawTextAt; }

static void DrawLine(const Word* words, int count, uint32_t until) {
  if (StreamPosition() >= until) return;  // the line's end, tested once for all its words
  for (int i = 0; i < count; ++i)
    if (StreamPosition() >= words[i].from) DrawText(words[i].x, words[i].y, words[i].z, words[i].text, kOpaque);
}

static void DrawFlashingWords() {
  for (const auto& word : kFlashingWords) {
    if (StreamPosition() < word.from || StreamPosition() >= word.until) continue;
    const int r1 = CrtRand();  // y first, then x: the places repeat on every run
    const int r2 = CrtRand();
    const double y = 1.3 - (r1 % 5);
    const double x = (r2 % 5) - 1.3;
    DrawText(float(x), float(y), -6.0f, word.text, kOpaque);
  }
}

// Demo clock minus the offset, a float subtraction truncated toward zero.
// Held within the int32 range so that no clock reading can make the
// conversion undefined.
static int32_t SceneTime(float offset) {
  const float ms = TimerGetTime() - offset;
  if (!(ms > -2147483648.0f)) return INT32_MIN;  // NaN too
  if (ms >= 2147483648.0f) return INT32_MAX;
  return int32_t(ms);
}

// ---------------------------------------------------------------------------
// Operations
// ---------------------------------------------------------------------------
bool ShowLoadAll(void (*present)()) {
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
  glLoadIdentity();
  DrawText(0.0f, 0.0f, -9.0f, "Loading", kOpaque);
  if (present) present();  // the word stays on screen during the loads
  else glFlush();

  for (ShowSceneId scene : kLoadOrder) {
    if (StopSignalled()) return false;  // asked to end: the caller can tell
    if (!SceneOps[scene].Load()) return false;  // the scene has shown its own box
  }
  return true;
}

int ShowFrame() {
  if (StreamPosition() >= kShowEnd) return 0;  // nothing drawn: the loop ends

  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
  glLoadIdentity();

  DrawLine(kLineOne, int(sizeof kLineOne / sizeof kLineOne[0]), kLineOneEnd);
  DrawLine(kLineTwo, int(sizeof kLineTwo / sizeof kLineTwo[0]), kLineTwoEnd);
  if (StreamPosition() >= kSenor.from && StreamPosition() < kSenorEnd)
    DrawText(kSenor.x, kSenor.y, kSenor.z, kSenor.text, kOpaque);

  DrawFlashingWords();

  if (StreamPosition() >= kClosingStart) {
    DrawText(0.0f, 0.0f, -4.0f, kClosingName, kOpaque);
    DrawText(0.0f, -5.0f, -20.0f, kClosingAddress, kOpaque);
  }

  // Scenes may leave any state but the matrix behind; that carries on.
  glPushMatrix();
  for (const auto& w : kSceneWindows)
    if (StreamPosition() >= w.from && StreamPosition() < w.until) SceneOps[w.scene].Render(SceneTime(w.offset));
  glPopMatrix();

  if (StreamPosition() >= kClosingStart)
    DrawOverlayQuad((StreamPosition() - kClosingStart) / kClosingFlashDivisor);  // drawn last, over everything
  return 1;
}

static const int kWarmUpPixels = 8;  // the warm-up draws into a corner this many pixels wide
static uint32_t WarmPosition = 0;    // stream bytes the warm-up draws at
static uint32_t ReadWarmPosition(uint32_t) { return WarmPosition; }

void ShowWarmUp() {
  const ShowTimeSources sources = TimeSources();
  ShowTimeSources pinned = sources;
  pinned.streamPosition = ReadWarmPosition;
  SetTimeSources(&pinned);
  glPushAttrib(GL_ALL_ATTRIB_BITS);
  for (GLenum matrix : {GL_TEXTURE, GL_PROJECTION, GL_MODELVIEW}) {
    glMatrixMode(matrix);
    glPushMatrix();
  }
  // A few pixels are enough: what is built depends on the state, not on how
  // much is drawn.
  glViewport(0, 0, kWarmUpPixels, kWarmUpPixels);
  for (const ScoreMark& mark : kScoreMarks) {
    for (const auto& w : kSceneWindows) {
      if (mark.bytes < w.from || mark.bytes >= w.until) continue;
      WarmPosition = mark.bytes;
      glLoadIdentity();
      SceneOps[w.scene].Render(int32_t(double(mark.bytes) / kStreamBytesPerMilli - w.offset));
    }
  }
  for (GLenum matrix : {GL_TEXTURE, GL_PROJECTION, GL_MODELVIEW}) {
    glMatrixMode(matrix);
    glPopMatrix();
  }
  glPopAttrib();  // the matrix mode too
  SetTimeSources(&sources);
}

void ShowFreeAll() {
  for (ShowSceneId scene : kLoadOrder) SceneOps[scene].Free();
}
