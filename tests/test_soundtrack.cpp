// Soundtrack start-up and shutdown: the boxes of every failure, the error
// table, and the show ending at once without its soundtrack.
#include "app/main_loop.h"
#include "app/soundtrack.h"
#include "app/window.h"
#include "tools/shared_kit/audio_kit.h"
#include "platform/msgbox.h"
#include "tests/support/gl_test.h"
#include "tools/generators/soundgen/mp3_encode.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <chrono>
#include <cstring>
#include <thread>

static std::vector<uint8_t> QuietMp3(double seconds) {
  std::vector<int16_t> pcm(size_t(seconds * 22050) * 2, 0);
  std::vector<uint8_t> mp3;
  EXPECT_TRUE(EncodeMp3(pcm.data(), pcm.size() / 2, 2, 22050, 64, &mp3));
  return mp3;
}

class Soundtrack : public ::testing::Test {
 protected:
  void SetUp() override { MessageBoxStartRecording(); }
  void TearDown() override { MessageBoxStopRecording(); }

  void ExpectBoxes(const std::vector<std::pair<std::string, std::string>>& expected) {
    const std::vector<RecordedBox>& log = MessageBoxLog();
    ASSERT_EQ(log.size(), expected.size());
    for (size_t i = 0; i < log.size(); ++i) {
      EXPECT_EQ(log[i].text, expected[i].first);
      EXPECT_EQ(log[i].caption, expected[i].second);
      EXPECT_EQ(log[i].style, unsigned(MB_ICONEXCLAMATION));
    }
  }
  ScratchDir dir_;
};

TEST_F(Soundtrack, MissingFileShowsTheStreamBoxThenTheCodeBox) {
  EXPECT_FALSE(BSS_Init());
  ExpectBoxes({{"Unable to create stream file!", "Error"}, {"Unable to open file", "BASS Init Error"}});
}

TEST_F(Soundtrack, FileThatIsNoMp3ShowsUnsupportedFormat) {
  dir_.Write("TrailerLOW.mp3", std::vector<uint8_t>(4096, 0x55));
  EXPECT_FALSE(BSS_Init());
  ExpectBoxes({{"Unable to create stream file!", "Error"}, {"Unsupported format", "BASS Init Error"}});
}

// A tone whose Xing/Info header claims 0xFFFFFFF0 frames, some 60,000 hours.
static std::vector<uint8_t> Mp3ClaimingFourBillionFrames() {
  std::vector<int16_t> pcm(22050 * 2);
  for (size_t i = 0; i < pcm.size(); ++i) pcm[i] = int16_t(4000 * ((i / 50) % 2));
  std::vector<uint8_t> mp3;
  EXPECT_TRUE(EncodeMp3(pcm.data(), pcm.size() / 2, 2, 22050, 64, &mp3, true));
  for (size_t at = 0; at + 12 <= mp3.size() && at < 200; ++at) {
    if (std::memcmp(&mp3[at], "Info", 4) != 0 && std::memcmp(&mp3[at], "Xing", 4) != 0) continue;
    EXPECT_TRUE(mp3[at + 7] & 1) << "the tag carries a frame count";
    const uint8_t frames[4] = {0xFF, 0xFF, 0xFF, 0xF0};  // big-endian
    std::memcpy(&mp3[at + 8], frames, 4);
    return mp3;
  }
  ADD_FAILURE() << "the encoder wrote no Xing/Info tag";
  return mp3;
}

TEST_F(Soundtrack, AHeaderClaimingBillionsOfFramesShowsUnsupportedFormat) {
  dir_.Write("TrailerLOW.mp3", Mp3ClaimingFourBillionFrames());
  EXPECT_FALSE(BSS_Init());
  ExpectBoxes({{"Unable to create stream file!", "Error"}, {"Unsupported format", "BASS Init Error"}});
}

TEST_F(Soundtrack, AFifoIsAFileThatCannotBeOpenedNotAWait) {
  ASSERT_EQ(mkfifo("TrailerLOW.mp3", 0644), 0);  // nobody ever writes to it
  EXPECT_FALSE(BSS_Init());
  ExpectBoxes({{"Unable to create stream file!", "Error"}, {"Unable to open file", "BASS Init Error"}});
}

TEST_F(Soundtrack, SecondInitReportsAlreadyInitialized) {
  dir_.Write("TrailerLOW.mp3", QuietMp3(0.5));
  ASSERT_TRUE(BSS_Init());
  EXPECT_FALSE(BSS_Init());
  ExpectBoxes({{"Can't initialize digital sound system", "Error"}, {"Already initialized", "BASS Init Error"}});
}

TEST_F(Soundtrack, BErrorShowsTheTableTextsAndNothingElse) {
  const std::pair<int, const char*> shown[] = {
      {-1, "Unknown error or sound device error..."},
      {1, "Memory error"},
      {7, "Invalif playback position"},
      {8, "BASS_Init() has not been successfully called!"},
      {9, "BASS_Start has not been successfully called!"},
      {27, "The stream is not a file stream (WAV/MP3)"},
      {29, "No hardware voices available"},
      {30, "Synchronizers have been disabled"},
  };
  // Each code as an output that fails to open reports it.
  for (const auto& [code, text] : shown) {
    MessageBoxStartRecording();
    AudioUseOutput(KitSimulatedOutput(code));
    BASS_Init(-1, 44100, 0, nullptr);
    BError();
    ExpectBoxes({{text, "BASS Init Error"}});
  }
  for (int code : {28, 31, 1000, -2, -1000}) {
    MessageBoxStartRecording();
    AudioUseOutput(KitSimulatedOutput(code));
    BASS_Init(-1, 44100, 0, nullptr);
    BError();
    EXPECT_TRUE(MessageBoxLog().empty()) << code;
  }
  MessageBoxStartRecording();
  AudioUseOutput(KitSimulatedOutput());
  ASSERT_TRUE(BASS_Init(-1, 44100, 0, nullptr));
  BError();  // code 0
  EXPECT_TRUE(MessageBoxLog().empty());
}

TEST_F(Soundtrack, PlaysFromZeroAndCloses) {
  // Found whatever the case of its name, as on the file system it was made for.
  dir_.Write("trailerlow.MP3", QuietMp3(1.0));
  ASSERT_TRUE(BSS_Init());
  EXPECT_TRUE(MessageBoxLog().empty());
  ASSERT_NE(BSS_Stream, 0u);
  EXPECT_EQ(StreamPosition(), 0u);
  ASSERT_TRUE(BASS_StreamPlay(BSS_Stream, 0, 4));
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  const uint32_t position = StreamPosition();
  EXPECT_GT(position, 88200u / 20);
  EXPECT_LT(position, 88200u);
  BBS_Close();
  EXPECT_EQ(StreamPosition(), 0xFFFFFFFFu);  // the stream is gone
  EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_HANDLE);
}

TEST_F(Soundtrack, AnAudioOffsetSetBeforeInitHoldsThePictureBack) {
  // As --audio-offset sets it, before the library is up.
  BSS_SetAudioOffset(200);
  dir_.Write("TrailerLOW.mp3", QuietMp3(1.0));
  ASSERT_TRUE(BSS_Init());
  const auto played = std::chrono::steady_clock::now();
  ASSERT_TRUE(BASS_StreamPlay(BSS_Stream, 0, 4));
  EXPECT_EQ(StreamPosition(), 0u);
  std::this_thread::sleep_for(std::chrono::milliseconds(400));
  const uint32_t position = StreamPosition();
  const double elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - played).count();
  EXPECT_GT(position, 0u);
  EXPECT_LE(double(position), (elapsed - 0.2) * 88200.0 + 200.0);
}

TEST_F(Soundtrack, ShowWithoutSoundtrackEndsBeforeAnyWindow) {
  // The test binary's folder holds no soundtrack either, so nothing is found.
  EXPECT_EQ(WinMain(), 1);  // a failure exits with 1
  ExpectBoxes({{"Unable to create stream file!", "Error"}, {"Unable to open file", "BASS Init Error"}});
  EXPECT_EQ(hMainWindow, nullptr);
}
