// The show window: the window procedure's keys and activity, the key map, the
// projection on resize, the baseline GL state, and switching between full
// screen and window without losing textures.
#include "app/window.h"
#include "render/picture.h"
#include "tools/shared_kit/headless_gl.h"
#include "platform/gl_window_sdl.h"
#include "platform/messages.h"
#include "platform/msgbox.h"
#include "tests/support/gl_test.h"

#include <GL/gl.h>
#include <SDL.h>

#include <cmath>
#include <vector>

// ---------------------------------------------------------------------------
// Window procedure and messages
// ---------------------------------------------------------------------------
TEST(WindowProcedure, KeysFollowKeyDownAndUp) {
  WndProc(WM_KEYDOWN, VK_SPACE, 0);
  EXPECT_TRUE(keys[VK_SPACE]);
  WndProc(WM_KEYUP, VK_SPACE, 0);
  EXPECT_FALSE(keys[VK_SPACE]);
  WndProc(WM_KEYDOWN, 256, 0);  // outside the table: ignored, not written
  WndProc(WM_KEYDOWN, ~uint64_t(0), 0);
  for (bool key : keys) EXPECT_FALSE(key);
}

TEST(WindowProcedure, APressShorterThanAFrameIsTakenOnce) {
  WndProc(WM_KEYDOWN, VK_SPACE, 0);
  WndProc(WM_KEYUP, VK_SPACE, 0);  // released before the loop looked
  EXPECT_TRUE(TakeKeyPress(VK_SPACE));
  EXPECT_FALSE(TakeKeyPress(VK_SPACE));
  EXPECT_FALSE(TakeKeyPress(VK_ESCAPE));
  EXPECT_FALSE(TakeKeyPress(256));
}

TEST(WindowProcedure, OnlyMinimisingMakesInactive) {
  WndProc(WM_ACTIVATE, uint64_t(1) << 16, 0);  // minimised
  EXPECT_FALSE(active);
  WndProc(WM_ACTIVATE, 1, 0);  // restored
  EXPECT_TRUE(active);
  WndProc(WM_ACTIVATE, 0, 0);  // another application activated, not minimised
  EXPECT_TRUE(active);
}

TEST(WindowProcedure, CloseBecomesQuitWithCodeZero) {
  MSG msg{};
  EXPECT_FALSE(PeekMessageA(&msg));
  WndProc(WM_CLOSE, 0, 0);
  ASSERT_TRUE(PeekMessageA(&msg));
  EXPECT_EQ(msg.message, unsigned(WM_QUIT));
  EXPECT_EQ(msg.wParam, 0u);
  EXPECT_FALSE(PeekMessageA(&msg));
}

TEST(Messages, MapsSdlKeysToVirtualKeyCodes) {
  EXPECT_EQ(VirtualKeyFromSDL(SDLK_ESCAPE), 27);
  EXPECT_EQ(VirtualKeyFromSDL(SDLK_SPACE), 32);
  EXPECT_EQ(VirtualKeyFromSDL(SDLK_RETURN), 13);
  EXPECT_EQ(VirtualKeyFromSDL(SDLK_TAB), 9);
  EXPECT_EQ(VirtualKeyFromSDL(SDLK_BACKSPACE), 8);
  EXPECT_EQ(VirtualKeyFromSDL(SDLK_LEFT), 37);
  EXPECT_EQ(VirtualKeyFromSDL(SDLK_DOWN), 40);
  EXPECT_EQ(VirtualKeyFromSDL(SDLK_HOME), 36);
  EXPECT_EQ(VirtualKeyFromSDL(SDLK_AUDIOPLAY), 0xB3);
  EXPECT_EQ(VirtualKeyFromSDL(SDLK_0), 48);
  EXPECT_EQ(VirtualKeyFromSDL(SDLK_9), 57);
  EXPECT_EQ(VirtualKeyFromSDL(SDLK_a), 65);
  EXPECT_EQ(VirtualKeyFromSDL(SDLK_z), 90);
  EXPECT_EQ(VirtualKeyFromSDL(SDLK_F1), 112);
  EXPECT_EQ(VirtualKeyFromSDL(SDLK_F12), 123);
  EXPECT_EQ(VirtualKeyFromSDL(SDLK_F13), -1);
  EXPECT_EQ(VirtualKeyFromSDL(SDLK_LSHIFT), -1);
  EXPECT_EQ(VirtualKeyFromSDL(SDLK_KP_ENTER), -1);
}

TEST(Messages, TranslatesWindowEvents) {
  SDL_Event event{};
  MSG msg{};
  event.type = SDL_WINDOWEVENT;
  event.window.event = SDL_WINDOWEVENT_SIZE_CHANGED;
  event.window.data1 = 800;
  event.window.data2 = 600;
  ASSERT_TRUE(MessageFromSDLEvent(event, &msg));
  EXPECT_EQ(msg.message, unsigned(WM_SIZE));
  EXPECT_EQ(msg.lParam & 0xFFFF, 800);
  EXPECT_EQ((msg.lParam >> 16) & 0xFFFF, 600);

  event.window.event = SDL_WINDOWEVENT_MINIMIZED;
  ASSERT_TRUE(MessageFromSDLEvent(event, &msg));
  EXPECT_EQ(msg.message, unsigned(WM_ACTIVATE));
  EXPECT_NE((msg.wParam >> 16) & 0xFFFF, 0u);

  event.type = SDL_QUIT;  // also what SIGTERM becomes
  ASSERT_TRUE(MessageFromSDLEvent(event, &msg));
  EXPECT_EQ(msg.message, unsigned(WM_CLOSE));

  event.type = SDL_KEYDOWN;
  event.key.keysym.sym = SDLK_LSHIFT;  // no virtual-key code: no message
  EXPECT_FALSE(MessageFromSDLEvent(event, &msg));
}

TEST(Messages, OnePressIsOneKeyDownAndOnlyTheCurrentWindowCounts) {
  SetMessageWindow(7);
  SDL_Event event{};
  MSG msg{};
  event.type = SDL_KEYDOWN;
  event.key.keysym.sym = SDLK_SPACE;
  event.key.windowID = 7;
  EXPECT_TRUE(MessageFromSDLEvent(event, &msg));
  event.key.repeat = 1;  // the key held down
  EXPECT_FALSE(MessageFromSDLEvent(event, &msg));
  event.key.repeat = 0;
  event.key.windowID = 6;  // a window destroyed since
  EXPECT_FALSE(MessageFromSDLEvent(event, &msg));

  event = SDL_Event{};
  event.type = SDL_WINDOWEVENT;
  event.window.event = SDL_WINDOWEVENT_MINIMIZED;
  event.window.windowID = 6;
  EXPECT_FALSE(MessageFromSDLEvent(event, &msg));
  event.window.windowID = 7;
  EXPECT_TRUE(MessageFromSDLEvent(event, &msg));
  event.window.event = SDL_WINDOWEVENT_HIDDEN;  // hidden draws nothing either
  ASSERT_TRUE(MessageFromSDLEvent(event, &msg));
  EXPECT_NE((msg.wParam >> 16) & 0xFFFF, 0u);
  SetMessageWindow(0);
}

// ---------------------------------------------------------------------------
// Projection and baseline state
// ---------------------------------------------------------------------------
using WindowGL = HeadlessGL;

static std::vector<int> Viewport() {
  GLint viewport[4];
  glGetIntegerv(GL_VIEWPORT, viewport);
  return {viewport[0], viewport[1], viewport[2], viewport[3]};
}

TEST_F(WindowGL, ThePictureIsFourByThreeCentredBetweenBars) {
  const double f = 1.0 / std::tan(M_PI / 8);
  const struct {
    int width, height;
    std::vector<int> viewport;
  } cases[] = {
      {640, 480, {0, 0, 640, 480}},        {1920, 1080, {240, 0, 1440, 1080}},
      {3840, 2160, {480, 0, 2880, 2160}},  {800, 1000, {0, 200, 800, 600}},
      {1366, 768, {171, 0, 1024, 768}},    {640, 0, {319, 0, 1, 1}},  // collapsed: no division by zero
  };
  for (const auto& c : cases) {
    ReSizeGLScene(c.width, c.height);
    EXPECT_EQ(Viewport(), c.viewport) << c.width << "x" << c.height;
    GLdouble projection[16];
    glGetDoublev(GL_PROJECTION_MATRIX, projection);
    EXPECT_NEAR(projection[0], f * 480.0 / 640.0, 1e-6) << "the aspect is always 640 / 480";
    EXPECT_NEAR(projection[5], f, 1e-6);
  }
  // Without a window the picture is never rendered smaller and scaled.
  SetRenderSize(320, 240);
  ReSizeGLScene(1920, 1080);
  EXPECT_EQ(Viewport(), (std::vector<int>{240, 0, 1440, 1080}));
  SetRenderSize(0, 0);
}

TEST_F(WindowGL, ProjectionIsFortyFiveDegreesFromAlmostPointOneToHundred) {
  ReSizeGLScene(640, 480);
  GLdouble p[16];
  glGetDoublev(GL_PROJECTION_MATRIX, p);
  const double f = 1.0 / std::tan(M_PI / 8);
  EXPECT_NEAR(p[5], f, 1e-5);
  EXPECT_NEAR(p[0], f * 480.0 / 640.0, 1e-5);
  // The near plane is the float 0.1 and far 100.
  const double zNear = double(0.1f), zFar = 100.0;
  EXPECT_NEAR(p[10], (zFar + zNear) / (zNear - zFar), 1e-5);
  EXPECT_NEAR(p[14], 2 * zFar * zNear / (zNear - zFar), 1e-5);
  GLint mode;
  glGetIntegerv(GL_MATRIX_MODE, &mode);
  EXPECT_EQ(mode, GL_MODELVIEW);
}

TEST_F(WindowGL, InitGLSetsTheBaselineEverySceneStartsFrom) {
  EXPECT_TRUE(glIsEnabled(GL_TEXTURE_2D));
  EXPECT_TRUE(glIsEnabled(GL_DEPTH_TEST));
  EXPECT_TRUE(glIsEnabled(GL_BLEND));
  EXPECT_TRUE(glIsEnabled(GL_LIGHT1));
  EXPECT_FALSE(glIsEnabled(GL_LIGHTING));
  EXPECT_FALSE(glIsEnabled(GL_LIGHT0));
  GLint value;
  glGetIntegerv(GL_DEPTH_FUNC, &value);
  EXPECT_EQ(value, GL_LEQUAL);
  glGetIntegerv(GL_SHADE_MODEL, &value);
  EXPECT_EQ(value, GL_SMOOTH);
  glGetIntegerv(GL_BLEND_SRC, &value);
  EXPECT_EQ(value, GL_SRC_ALPHA);
  glGetIntegerv(GL_BLEND_DST, &value);
  EXPECT_EQ(value, GL_ONE_MINUS_SRC_ALPHA);
  GLfloat colour[4];
  glGetFloatv(GL_CURRENT_COLOR, colour);
  EXPECT_FLOAT_EQ(colour[0], 1.0f);
  EXPECT_FLOAT_EQ(colour[3], 0.5f);
  GLfloat light[4];
  glGetLightfv(GL_LIGHT1, GL_AMBIENT, light);
  EXPECT_FLOAT_EQ(light[0], 0.5f);
  // Given under the identity, the light sits at eye-space (0, 0, 2).
  glGetLightfv(GL_LIGHT1, GL_POSITION, light);
  EXPECT_FLOAT_EQ(light[2], 2.0f);
  EXPECT_FLOAT_EQ(light[3], 1.0f);
}

// ---------------------------------------------------------------------------
// The real window, on SDL's offscreen driver
// ---------------------------------------------------------------------------
class RealWindow : public ::testing::Test {
 protected:
  void SetUp() override { MessageBoxStartRecording(IDYES); }
  void TearDown() override {
    KillGLWindow();
    MessageBoxStopRecording();
  }
};

static const char kTitle[] = "Velmora One, The Trailer - by Quintrel";

TEST_F(RealWindow, WindowedClientAreaIsExactly640By480) {
  ASSERT_TRUE(CreateGLWindow(kTitle, 640, 480, 32, false)) << SDL_GetError();
  int w = 0, h = 0;
  SDL_GetWindowSize(GLWindowSDL(hMainWindow), &w, &h);
  EXPECT_EQ(w, 640);
  EXPECT_EQ(h, 480);
  EXPECT_STREQ(SDL_GetWindowTitle(GLWindowSDL(hMainWindow)), kTitle);
  GLint depthBits = 0;
  glGetIntegerv(GL_DEPTH_BITS, &depthBits);
  EXPECT_GE(depthBits, 24);
  EXPECT_TRUE(glIsEnabled(GL_LIGHT1));  // InitGL ran on the new context
}

TEST_F(RealWindow, TeardownClearsEveryHandleAndReportsASecondUnregister) {
  ASSERT_TRUE(CreateGLWindow(kTitle, 640, 480, 32, false));
  KillGLWindow();
  EXPECT_EQ(hMainWindow, nullptr);
  EXPECT_EQ(hGLContext, nullptr);
  EXPECT_TRUE(MessageBoxLog().empty());
  KillGLWindow();  // nothing left to release but the class
  ASSERT_EQ(MessageBoxLog().size(), 1u);
  EXPECT_EQ(MessageBoxLog()[0].text, "Could Not Unregister Class.");
  EXPECT_EQ(MessageBoxLog()[0].caption, "SHUTDOWN ERROR");
  EXPECT_EQ(MessageBoxLog()[0].style, unsigned(MB_ICONINFORMATION));
  MessageBoxStartRecording(IDYES);
}

TEST_F(RealWindow, ATextureMadeBeforeASwitchStillDrawsAfterIt) {
  ASSERT_TRUE(CreateGLWindow(kTitle, 640, 480, 32, false));
  GLuint texture = 0;
  const unsigned char red[4 * 4] = {255, 0, 0, 255, 255, 0, 0, 255, 255, 0, 0, 255, 255, 0, 0, 255};
  glGenTextures(1, &texture);
  glBindTexture(GL_TEXTURE_2D, texture);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
  glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, 2, 2, 0, GL_RGBA, GL_UNSIGNED_BYTE, red);
  const GLuint list = glGenLists(1);
  glNewList(list, GL_COMPILE);
  glEnd();
  glEndList();

  KillGLWindow(GLContextFate::Keep);
  ASSERT_TRUE(CreateGLWindow(kTitle, 640, 480, 32, true)) << SDL_GetError();

  EXPECT_TRUE(glIsTexture(texture));
  EXPECT_TRUE(glIsList(list));
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
  glDisable(GL_BLEND);
  glBindTexture(GL_TEXTURE_2D, texture);
  glColor3f(1, 1, 1);
  glBegin(GL_QUADS);
  glTexCoord2f(0, 0), glVertex3f(-1, -1, -2);
  glTexCoord2f(1, 0), glVertex3f(1, -1, -2);
  glTexCoord2f(1, 1), glVertex3f(1, 1, -2);
  glTexCoord2f(0, 1), glVertex3f(-1, 1, -2);
  glEnd();
  unsigned char centre[3] = {};
  glReadPixels(320, 240, 1, 1, GL_RGB, GL_UNSIGNED_BYTE, centre);
  EXPECT_EQ(centre[0], 255);
  EXPECT_EQ(centre[1], 0);
}

TEST_F(RealWindow, ASwitchStartsFromTheStateOfAFreshContext) {
  ASSERT_TRUE(CreateGLWindow(kTitle, 640, 480, 32, false));
  GLuint texture = 0;
  glGenTextures(1, &texture);
  glBindTexture(GL_TEXTURE_2D, texture);
  glEnable(GL_LIGHTING);
  glEnable(GL_FOG);
  glEnable(GL_CULL_FACE);

  KillGLWindow(GLContextFate::Keep);
  ASSERT_TRUE(CreateGLWindow(kTitle, 640, 480, 32, false));
  GLint bound = -1;
  glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound);
  EXPECT_EQ(bound, 0);  // the text after a switch is not tinted by the last texture
  EXPECT_FALSE(glIsEnabled(GL_LIGHTING));
  EXPECT_FALSE(glIsEnabled(GL_FOG));
  EXPECT_FALSE(glIsEnabled(GL_CULL_FACE));
  EXPECT_TRUE(glIsEnabled(GL_TEXTURE_2D));  // InitGL's baseline
  EXPECT_TRUE(glIsTexture(texture));
}

TEST_F(RealWindow, AScaledPictureLeavesTheNextFrameTheStateThisOneLeft) {
  SetRenderSize(640, 480);
  ASSERT_TRUE(CreateGLWindow(kTitle, 1280, 960, 32, false));
  const PictureLayout layout = PictureCurrentLayout();
  ASSERT_EQ(layout.width, 1280);
  ASSERT_EQ(layout.renderWidth, 640);
  ASSERT_EQ(layout.renderHeight, 480);
  EXPECT_EQ(Viewport(), (std::vector<int>{0, 0, 640, 480}));

  GLuint texture = 0;
  glGenTextures(1, &texture);
  glBindTexture(GL_TEXTURE_2D, texture);
  glEnable(GL_LIGHTING);
  glEnable(GL_FOG);
  glDisable(GL_DEPTH_TEST);
  glColor4f(0.25f, 0.5f, 0.75f, 0.125f);
  glMatrixMode(GL_PROJECTION);
  glTranslatef(1, 2, 3);
  GLdouble projectionBefore[16], projectionAfter[16];
  glGetDoublev(GL_PROJECTION_MATRIX, projectionBefore);
  EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR)) << "before";

  SwapBuffers(hMainWindow);

  EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
  GLint value = 0;
  glGetIntegerv(GL_TEXTURE_BINDING_2D, &value);
  EXPECT_EQ(GLuint(value), texture);
  glGetIntegerv(GL_MATRIX_MODE, &value);
  EXPECT_EQ(value, GL_PROJECTION);
  glGetDoublev(GL_PROJECTION_MATRIX, projectionAfter);
  for (int i = 0; i < 16; ++i) EXPECT_EQ(projectionAfter[i], projectionBefore[i]);
  EXPECT_TRUE(glIsEnabled(GL_LIGHTING));
  EXPECT_TRUE(glIsEnabled(GL_FOG));
  EXPECT_FALSE(glIsEnabled(GL_DEPTH_TEST));
  EXPECT_TRUE(glIsEnabled(GL_BLEND));
  GLfloat colour[4];
  glGetFloatv(GL_CURRENT_COLOR, colour);
  EXPECT_FLOAT_EQ(colour[2], 0.75f);
  EXPECT_FLOAT_EQ(colour[3], 0.125f);
  EXPECT_EQ(Viewport(), (std::vector<int>{0, 0, 640, 480}));
  SetRenderSize(0, 0);
}

TEST_F(RealWindow, TheViewportFollowsTheSizeTheWindowGets) {
  ASSERT_TRUE(CreateGLWindow(kTitle, 640, 480, 32, false));
  EXPECT_TRUE(SDL_GetWindowFlags(GLWindowSDL(hMainWindow)) & SDL_WINDOW_RESIZABLE);
  SDL_SetWindowSize(GLWindowSDL(hMainWindow), 1000, 500);  // no event needed
  FollowDrawableSize();
  int width = 0, height = 0;
  SDL_GL_GetDrawableSize(GLWindowSDL(hMainWindow), &width, &height);
  ASSERT_EQ(width, 1000);
  const PictureLayout layout = PictureCurrentLayout();  // the viewport, on llvmpipe drawn smaller
  EXPECT_EQ((std::vector<int>{layout.x, layout.y, layout.width, layout.height}),
            (std::vector<int>{166, 0, 667, 500}));
  ASSERT_TRUE(SwitchGLWindowMode(false, 640, 480));
  EXPECT_EQ(Viewport(), (std::vector<int>{0, 0, 640, 480}));
}
