// Start-up failures of the whole show: each ends the process with exit code 1
// after its boxes, in order, having released what existed. And the command
// line that starts it.
#include "app/main_loop.h"
#include "app/options.h"
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
  EXPECT_EQ(WinMain(), 1);
  const std::vector<std::pair<std::string, std::string>> expected = {
      {"Failed To Register The Window Class.", "ERROR"}, {"Unable to create OpenGL window!", "Error"}};
  EXPECT_EQ(Boxes(), expected);
  EXPECT_EQ(MessageBoxLog()[0].style, unsigned(MB_ICONEXCLAMATION));
  EXPECT_EQ(MessageBoxLog()[1].style, unsigned(MB_ICONEXCLAMATION));
  EXPECT_EQ(hMainWindow, nullptr);
}

TEST_F(StartUp, MissingDataGivesTheScenesBoxThenTheShowsOwnAndClosesTheWindow) {
  // The working folder and the test binary's folder hold no Data.
  EXPECT_EQ(WinMain(), 1);
  const std::vector<std::pair<std::string, std::string>> expected = {
      {"Data\\Nena1.3ds not found!", "Loading error"}, {"Demo Init error...", "Ups!"}};
  EXPECT_EQ(Boxes(), expected);
  ASSERT_EQ(MessageBoxLog().size(), 2u);
  EXPECT_EQ(MessageBoxLog()[0].style, unsigned(MB_SYSTEMMODAL | MB_ICONERROR));
  EXPECT_EQ(MessageBoxLog()[1].style, unsigned(MB_ICONEXCLAMATION));
  EXPECT_EQ(hMainWindow, nullptr);
  EXPECT_EQ(hGLContext, nullptr);
}

TEST_F(StartUp, AGivenDataFolderIsTakenWholeEvenWithDataBesideIt) {
  // The working folder holds a soundtrack and Data; the given folder only the
  // soundtrack: its missing models are not fetched from the working folder.
  dir_.Write("Data/Nena1.3DS", {0x4D, 0x4D});
  const std::string given = dir_.Path() + "/given";
  std::filesystem::create_directory(given);
  std::filesystem::copy_file(dir_.Path() + "/TrailerLOW.mp3", given + "/trailerlow.MP3");
  ShowOptions options;
  options.dataFolder = given;
  EXPECT_EQ(WinMain(options), 1);
  ASSERT_FALSE(MessageBoxLog().empty());
  EXPECT_EQ(MessageBoxLog()[0].text, "Data\\Nena1.3ds not found!");
}

// ---------------------------------------------------------------------------
// Command line
// ---------------------------------------------------------------------------
static bool Parse(std::vector<const char*> args, ShowOptions* options, std::string* error = nullptr) {
  std::string ignored;
  args.insert(args.begin(), "velmora-trailer");
  return ParseShowOptions(int(args.size()), args.data(), options, error ? error : &ignored);
}

TEST(CommandLine, TakesEveryOptionInBothForms) {
  ShowOptions options;
  ASSERT_TRUE(Parse({"--window", "--mode-switch", "--render-size", "800x600", "--data=/x y", "--start", "12.5",
                     "--audio-offset=-40", "--silent"},
                    &options));
  EXPECT_TRUE(options.window);
  EXPECT_TRUE(options.silent);
  EXPECT_TRUE(options.modeSwitch);
  EXPECT_EQ(options.renderWidth, 800);
  EXPECT_EQ(options.renderHeight, 600);
  EXPECT_EQ(options.dataFolder, "/x y");
  EXPECT_DOUBLE_EQ(options.startSeconds, 12.5);
  EXPECT_EQ(options.audioOffsetMillis, -40);
  ASSERT_TRUE(Parse({}, &options));
  EXPECT_FALSE(options.window);
  EXPECT_FALSE(options.silent);
  EXPECT_EQ(options.renderWidth, 0);
  ASSERT_TRUE(Parse({"--help", "--version"}, &options));
  EXPECT_TRUE(options.help && options.version);
}

TEST(CommandLine, RefusesUnknownOptionsAndBadValues) {
  ShowOptions options;
  std::string error;
  EXPECT_FALSE(Parse({"--bogus"}, &options, &error));
  EXPECT_NE(error.find("--bogus"), std::string::npos);
  const std::vector<std::vector<const char*>> bad = {
      {"window"},           {"--start"},          {"--start", "-1"},      {"--start", "nan"},
      {"--start", "133.3"},   {"--start", "3s"},    {"--render-size", "640"}, {"--render-size", "0x480"},
      {"--render-size", "640x"}, {"--render-size=640x480x"}, {"--data="}, {"--window=1"},
      {"--audio-offset", "1.5"}};
  for (const auto& args : bad) EXPECT_FALSE(Parse(args, &options)) << args[0] << " " << (args.size() > 1 ? args[1] : "");
}

TEST(CommandLine, AStartPositionAndItsClockTimeAgree) {
  EXPECT_EQ(StartPositionBytes(0.0), 0u);
  EXPECT_EQ(StartPositionBytes(10.0), 882000u);
  EXPECT_EQ(StartPositionBytes(133.2), 11748240u);
  EXPECT_FLOAT_EQ(StartClockMillis(882000u), 10000.0f);
  EXPECT_FLOAT_EQ(StartClockMillis(StartPositionBytes(61.25)), 61250.0f);
}
