// The timeline: which scene each position draws and with what scene time,
// which words stand where, the flashing words' places, the closing fade, and
// loading and freeing in order. Scenes and texts are replaced by recorders
// through the timeline's test hook.
#include "platform/crt_rand.h"
#include "platform/msgbox.h"
#include "tools/shared_kit/show_seam.h"
#include "show/timeline.h"
#include "show/timeline_hook.h"
#include "tests/support/gl_test.h"

#include <GL/gl.h>

#include <string>
#include <vector>

namespace {

const uint32_t kShowEnd = 11750424;  // 133.2 s: the last mark

struct Event {
  std::string what;  // "load", "render", "free" or "text"
  int scene;         // ShowSceneId, or -1 for a text
  int32_t a;         // scene time of a render
  std::string text;
  float x, y, z, opacity;
};
std::vector<Event> Events;
int FailingLoad = -1;  // the scene whose load returns false

// Called from inside a scene's render: where the position jumps to, as if the
// audio thread had moved on while the scene was drawn. 0: stays.
uint32_t PositionAfterRender = 0;

template <int S>
bool RecordLoad() {
  Events.push_back({"load", S, 0, "", 0, 0, 0, 0});
  return S != FailingLoad;
}
template <int S>
void RecordRender(int32_t a) {
  Events.push_back({"render", S, a, "", 0, 0, 0, 0});
  if (PositionAfterRender) SeamPinStreamPosition(PositionAfterRender);
}
template <int S>
void RecordFree() {
  Events.push_back({"free", S, 0, "", 0, 0, 0, 0});
}
void RecordText(float x, float y, float z, const char* text, float opacity) {
  Events.push_back({"text", -1, 0, text, x, y, z, opacity});
}

template <int S>
void Hook() {
  static const ShowSceneOps ops = {RecordLoad<S>, RecordRender<S>, RecordFree<S>};
  ShowHookScene(ShowSceneId(S), &ops);
}

class Timeline : public HeadlessGL {
 protected:
  void SetUp() override {
    HeadlessGL::SetUp();
    Hook<kSceneTitle>(), Hook<kSceneHand>(), Hook<kSceneCastle>(), Hook<kSceneFlight>(), Hook<kSceneCredits>();
    ShowHookText(RecordText);
    Events.clear();
    CrtSrand(1);
  }
  void TearDown() override {
    for (int s = 0; s < kSceneCount; ++s) ShowHookScene(ShowSceneId(s), nullptr);
    ShowHookText(nullptr);
    SeamReleaseStreamPosition();
    SeamReleaseCounter();
    HeadlessGL::TearDown();
  }

  // One frame at `position` with the demo clock at `clockMillis`.
  int FrameAt(uint32_t position, double clockMillis = 70000.0) {
    Events.clear();
    SeamPinMoment(position, clockMillis);
    return ShowFrame();
  }
  static std::vector<Event> Of(const std::string& what) {
    std::vector<Event> out;
    for (const Event& e : Events)
      if (e.what == what) out.push_back(e);
    return out;
  }
  static std::vector<std::string> Texts() {
    std::vector<std::string> out;
    for (const Event& e : Of("text")) out.push_back(e.text);
    return out;
  }
  // The one scene rendered this frame, or -1 when none was.
  static int SceneDrawn() {
    const auto renders = Of("render");
    EXPECT_LE(renders.size(), 1u);
    return renders.empty() ? -1 : renders[0].scene;
  }
};

using WordList = std::vector<std::string>;

// ---------------------------------------------------------------------------
// Scene windows
// ---------------------------------------------------------------------------

TEST_F(Timeline, EachWindowIncludesItsFirstMarkAndExcludesItsLast) {
  const struct {
    uint32_t position;
    int scene;
  } cases[] = {
      {0, -1},
      {150499, -1},
      {150500, kSceneTitle},
      {5359743, kSceneTitle},
      {5359744, kSceneHand},
      {6338103, kSceneHand},
      {6338104, kSceneCastle},
      {8364623, kSceneCastle},
      {8364624, kSceneFlight},
      {9389695, kSceneFlight},
      {9389696, kSceneCredits},
      {11575423, kSceneCredits},
      {11575424, -1},
      {11750423, -1},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(FrameAt(c.position), 1) << c.position;
    EXPECT_EQ(SceneDrawn(), c.scene) << c.position;
  }
}

TEST_F(Timeline, ExactlyOneSceneHoldsFromTheTitleToTheClosingLines) {
  for (uint32_t p = 0; p < kShowEnd; p += 9973) {
    FrameAt(p);
    const size_t expected = (p >= 150500 && p < 11575424) ? 1 : 0;
    ASSERT_EQ(Of("render").size(), expected) << p;
  }
}

TEST_F(Timeline, SceneTimeIsTheClockLessTheSceneOffsetTruncated) {
  const struct {
    uint32_t position;
    double clock;  // ms
    int32_t a;
  } cases[] = {
      {150500, 1800.75, 500},        // title, offset 1300
      {150500, 1299.3, 0},           // -0.7 truncates toward zero
      {150500, 1298.5, -1},          // -1.5 likewise
      {150500, 0.0, -1300},          // the clock may lag the stream: passed on unchanged
      {5359744, 60860.9, 560},       // hand, offset 60300
      {6338104, 71640.2, 340},       // castle, offset 71300
      {8364624, 94900.5, 400},       // flight, offset 94500
      {9389696, 106459.99, 459},     // credits, offset 106000
      {11575423, 131200.0, 25200},
  };
  for (const auto& c : cases) {
    FrameAt(c.position, c.clock);
    const auto renders = Of("render");
    ASSERT_EQ(renders.size(), 1u) << c.position;
    EXPECT_EQ(renders[0].a, c.a) << c.position << " at " << c.clock << " ms";
  }
}

TEST_F(Timeline, AHugeClockReadingStaysWithinTheSceneTimeRange) {
  FrameAt(150500, 3.0e12);
  ASSERT_EQ(Of("render").size(), 1u);
  EXPECT_EQ(Of("render")[0].a, INT32_MAX);
}

// The position is read afresh at every test: a scene that finds the stream
// moved on when it returns is followed by the scene of the new position, and
// the closing lines' flash follows the credits in the same frame.
TEST_F(Timeline, PositionIsReadAfreshAtEveryTest) {
  PositionAfterRender = 5359744;
  FrameAt(5359743);
  auto renders = Of("render");
  ASSERT_EQ(renders.size(), 2u);
  EXPECT_EQ(renders[0].scene, kSceneTitle);
  EXPECT_EQ(renders[1].scene, kSceneHand);

  PositionAfterRender = 11575424;
  FrameAt(11575423);
  PositionAfterRender = 0;
  EXPECT_EQ(SceneDrawn(), kSceneCredits);
  EXPECT_EQ(Frame().At(320, 240).r, 255);  // the closing flash at full white
}

// ---------------------------------------------------------------------------
// End of show and closing lines
// ---------------------------------------------------------------------------

TEST_F(Timeline, EndOfShowReturnsZeroWithoutTouchingTheFrame) {
  for (uint32_t p : {kShowEnd, kShowEnd + 1, 0xFFFFFFFFu}) {
    glClearColor(0.2f, 0.4f, 0.6f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT);
    EXPECT_EQ(FrameAt(p), 0) << p;
    EXPECT_TRUE(Events.empty()) << p;
    const Rgb c = Frame().At(10, 10);
    EXPECT_NEAR(c.r, 51, 1);
    EXPECT_NEAR(c.b, 153, 1);
  }
  glClearColor(0, 0, 0, 0);
  EXPECT_EQ(FrameAt(kShowEnd - 1), 1);
}

TEST_F(Timeline, ClosingLinesStandUnderAFlashThatFadesOverAHundredThousandBytes) {
  FrameAt(11575423);
  EXPECT_EQ(Texts(), WordList{});
  EXPECT_LT(Frame().Mean().r, 5);

  FrameAt(11575424);
  ASSERT_EQ(Texts(), (WordList{"Quintrel", "www.quintrel.example"}));
  const auto texts = Of("text");
  EXPECT_EQ(texts[0].z, -4.0f);
  EXPECT_EQ(texts[1].y, -5.0f);
  EXPECT_EQ(texts[1].z, -20.0f);
  EXPECT_EQ(texts[1].opacity, 100.0f);
  Frame white;
  EXPECT_EQ(white.CountBrighterThan(250), white.Width() * white.Height());

  FrameAt(11575424 + 50000);  // k = 500: half white over black
  EXPECT_NEAR(Frame().At(320, 240).r, 128, 3);

  FrameAt(11575424 + 100000);  // faded out
  EXPECT_LT(Frame().Mean().r, 5);
  EXPECT_EQ(Texts().size(), 2u);
}

// ---------------------------------------------------------------------------
// Lyric words
// ---------------------------------------------------------------------------

TEST_F(Timeline, WordsOfALineAppearOneByOneAndVanishTogether) {
  const struct {
    uint32_t position;
    WordList texts;
  } cases[] = {
      {5380095, {}},
      {5380096, {"Mi"}},
      {5408511, {"Mi"}},
      {5408512, {"Mi", "dios"}},
      {5601279, {"Mi", "dios"}},
      {5601280, {}},
      {5625087, {}},
      {5625088, {"el"}},
      {5663488, {"el", "mundo"}},
      {5708807, {"el", "mundo"}},
      {5708808, {"el", "mundo", "esta"}},
      {5742592, {"el", "mundo", "esta", "en"}},
      {5762816, {"el", "mundo", "esta", "en", "tus"}},
      {5788160, {"el", "mundo", "esta", "en", "tus", "manos"}},
      {5847551, {"el", "mundo", "esta", "en", "tus", "manos"}},
      {5847552, {}},
      {5867263, {}},
      {5867264, {"Se\xF1or"}},
      {5967359, {"Se\xF1or"}},
      {5967360, {}},
  };
  for (const auto& c : cases) {
    FrameAt(c.position);
    EXPECT_EQ(Texts(), c.texts) << c.position;
  }
}

TEST_F(Timeline, WordsStandAtTheirOwnPlacesFullyOpaque) {
  const struct {
    const char* text;
    float x, y, z;
  } places[] = {{"el", -1.0f, 0.0f, -6.0f},  {"mundo", 1.3f, -1.6f, -8.5f}, {"esta", 1.4f, -1.0f, -8.0f},
                {"en", 1.4f, -0.4f, -6.0f},  {"tus", -1.4f, -0.9f, -6.0f},  {"manos", 1.0f, 1.6f, -5.0f}};
  FrameAt(5847551);
  const auto texts = Of("text");
  ASSERT_EQ(texts.size(), 6u);
  for (size_t i = 0; i < 6; ++i) {
    EXPECT_EQ(texts[i].text, places[i].text);
    EXPECT_EQ(texts[i].x, places[i].x) << places[i].text;
    EXPECT_EQ(texts[i].y, places[i].y) << places[i].text;
    EXPECT_EQ(texts[i].z, places[i].z) << places[i].text;
    EXPECT_EQ(texts[i].opacity, 100.0f);
  }
  FrameAt(5408512);
  ASSERT_EQ(Of("text").size(), 2u);
  EXPECT_EQ(Of("text")[0].x, -2.0f);
  EXPECT_EQ(Of("text")[0].y, 1.5f);
  EXPECT_EQ(Of("text")[1].z, -7.0f);
}

// The first values of the never-seeded generator are 41, 18467, 6334, 26500,
// 19169, 15724: r1 sets y = 1.3 - r1 % 5, then r2 sets x = r2 % 5 - 1.3.
TEST_F(Timeline, FlashingWordsJumpAlongTheRuntimeSequence) {
  FrameAt(6229503);  // before the window: no value is drawn from the generator
  EXPECT_EQ(Texts(), WordList{});

  const struct {
    float x, y;
  } places[] = {{0.7f, 0.3f}, {-1.3f, -2.7f}, {2.7f, -2.7f}};
  for (const auto& place : places) {
    FrameAt(6229504);
    const auto texts = Of("text");
    ASSERT_EQ(texts.size(), 1u);
    EXPECT_EQ(texts[0].text, "Colgados");
    EXPECT_FLOAT_EQ(texts[0].x, place.x);
    EXPECT_FLOAT_EQ(texts[0].y, place.y);
    EXPECT_EQ(texts[0].z, -6.0f);
    EXPECT_EQ(texts[0].opacity, 100.0f);
  }
}

TEST_F(Timeline, FlashingWordsHoldOnlyInTheirWindows) {
  const struct {
    uint32_t position;
    WordList texts;
  } cases[] = {
      {6334719, {"Colgados"}}, {6334720, {}},     {8364623, {}},
      {8364624, {"Odio"}},     {8423775, {"Odio"}}, {8423776, {}},
      {8523775, {}},           {8523776, {"Destrozar\xE1"}}, {8712191, {"Destrozar\xE1"}},
      {8712192, {}},
  };
  for (const auto& c : cases) {
    FrameAt(c.position);
    EXPECT_EQ(Texts(), c.texts) << c.position;
  }
}

// ---------------------------------------------------------------------------
// Loading and freeing
// ---------------------------------------------------------------------------

TEST_F(Timeline, LoadingShowsTheWordThenLoadsFlightBeforeCastle) {
  ASSERT_TRUE(ShowLoadAll(nullptr));
  ASSERT_EQ(Events.size(), 6u);
  EXPECT_EQ(Events[0].what, "text");
  EXPECT_EQ(Events[0].text, "Loading");
  EXPECT_EQ(Events[0].z, -9.0f);
  EXPECT_EQ(Events[0].opacity, 100.0f);
  const int order[] = {kSceneTitle, kSceneHand, kSceneFlight, kSceneCastle, kSceneCredits};
  for (int i = 0; i < 5; ++i) {
    EXPECT_EQ(Events[size_t(i) + 1].what, "load");
    EXPECT_EQ(Events[size_t(i) + 1].scene, order[i]);
  }
}

TEST_F(Timeline, LoadingStopsAtTheFirstFailureAndFreeingStillFreesAll) {
  FailingLoad = kSceneFlight;
  EXPECT_FALSE(ShowLoadAll(nullptr));
  FailingLoad = -1;
  const auto loads = Of("load");
  ASSERT_EQ(loads.size(), 3u);
  EXPECT_EQ(loads[2].scene, kSceneFlight);

  Events.clear();
  ShowFreeAll();
  const auto frees = Of("free");
  ASSERT_EQ(frees.size(), 5u);
  const int order[] = {kSceneTitle, kSceneHand, kSceneFlight, kSceneCastle, kSceneCredits};
  for (int i = 0; i < 5; ++i) EXPECT_EQ(frees[size_t(i)].scene, order[i]);
}

TEST_F(Timeline, RestoresTheMatrixAroundTheScenes) {
  static const ShowSceneOps messy = {
      RecordLoad<kSceneTitle>,
      [](int32_t) {
        glTranslatef(5, 5, 5);  // left on the pushed matrix
      },
      RecordFree<kSceneTitle>};
  ShowHookScene(kSceneTitle, &messy);
  FrameAt(200000);
  float m[16];
  glGetFloatv(GL_MODELVIEW_MATRIX, m);
  for (int i = 0; i < 16; ++i) EXPECT_EQ(m[i], (i % 5 == 0) ? 1.0f : 0.0f) << i;
  GLint depth = 0;
  glGetIntegerv(GL_MODELVIEW_STACK_DEPTH, &depth);
  EXPECT_EQ(depth, 1);
}

}  // namespace

// With the real scenes: freeing is safe whatever was loaded.
TEST_F(HeadlessGL, FreeingTheRealScenesIsSafeBeforeAndAfterAFailedLoad) {
  ShowFreeAll();
  ScratchDir empty;
  EXPECT_FALSE(ShowLoadAll(nullptr));  // no Data folder: the title scene's first model is missing
  ASSERT_EQ(MessageBoxLog().size(), 1u);
  EXPECT_EQ(MessageBoxLog()[0].text, "Data\\Nena1.3ds not found!");
  ShowFreeAll();
  ShowFreeAll();
}
