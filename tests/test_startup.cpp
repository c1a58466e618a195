// Start-up failures of the whole show: each ends the process with exit code 0
// after its boxes, in order, having released what existed.
#include "app/main_loop.h"
#include "app/soundtrack.h"
#include "app/window.h"
#include "platform/msgbox.h"
#include "tests/support/gl_test.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

class StartUp : public ::testing::Test {
 protected:
  void SetUp() override {
    MessageBoxStartRecording(IDNO);
    // The built default soundtrack, so that start-up gets past the sound.
    std::filesystem::copy_file(std::string(TRAILER_BUILD_DIR) + "/TrailerLOW.mp3", dir_.Path() + "/TrailerLOW.mp3");
  }
  void TearDown() override { MessageBoxStopRecording(); }

  static std::vector<std::pair<std::string, std::string>> Boxes() {
    std::vector<std::pair<std::string, std::string>> boxes;
    for (const RecordedBox& box : MessageBoxLog()) boxes.emplace_back(box.text, box.caption);
    return boxes;
  }
  ScratchDir dir_;
};

TEST_F(StartUp, NoVideoGivesTheWindowBoxThenTheShowsOwn) {
  setenv("SDL_VIDEODRIVER", "no-such-driver", 1);
  EXPECT_EQ(WinMain(), 0);
  const std::vector<std::pair<std::string, std::string>> expected = {
      {"Failed To Register The Window Class.", "ERROR"}, {"Unable to create OpenGL window!", "Error"}};
  EXPECT_EQ(Boxes(), expected);
  EXPECT_EQ(MessageBoxLog()[0].style, unsigned(MB_ICONEXCLAMATION));
  EXPECT_EQ(MessageBoxLog()[1].style, unsigned(MB_ICONEXCLAMATION));
  EXPECT_EQ(hMainWindow, nullptr);
}

TEST_F(StartUp, MissingDataGivesTheScenesBoxThenTheShowsOwnAndClosesTheWindow) {
  // The working folder and the test binary's folder hold no Data.
  EXPECT_EQ(WinMain(), 0);
  const std::vector<std::pair<std::string, std::string>> expected = {
      {"Data\\Nena1.3ds not found!", "Loading error"}, {"Demo Init error...", "Ups!"}};
  EXPECT_EQ(Boxes(), expected);
  ASSERT_EQ(MessageBoxLog().size(), 2u);
  EXPECT_EQ(MessageBoxLog()[0].style, unsigned(MB_SYSTEMMODAL | MB_ICONERROR));
  EXPECT_EQ(MessageBoxLog()[1].style, unsigned(MB_ICONEXCLAMATION));
  EXPECT_EQ(hMainWindow, nullptr);
  EXPECT_EQ(hGLContext, nullptr);
}
