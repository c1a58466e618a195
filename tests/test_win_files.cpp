// Opening the show's files by their Windows names: separators, case, the exact
// spelling first, and the executable's folder after the working directory.
#include "platform/win_files.h"
#include "tests/support/gl_test.h"

#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

static std::string ReadAll(FILE* file) {
  std::string text;
  char buffer[64];
  size_t n;
  while ((n = std::fread(buffer, 1, sizeof buffer, file)) > 0) text.append(buffer, n);
  std::fclose(file);
  return text;
}

static std::vector<uint8_t> Bytes(const std::string& text) { return {text.begin(), text.end()}; }

TEST(WinFiles, MatchesEveryComponentIgnoringCase) {
  ScratchDir dir;
  dir.Write("data/sub/NENA1.3ds", Bytes("nena"));
  FILE* file = OpenShowFile("Data\\Sub\\Nena1.3DS", "rb");
  ASSERT_NE(file, nullptr);
  EXPECT_EQ(ReadAll(file), "nena");
  std::string path;
  ASSERT_TRUE(ResolveShowFile("DATA\\SUB\\nena1.3ds", &path));
  EXPECT_EQ(path, "data/sub/NENA1.3ds");
  ASSERT_TRUE(ResolveShowFile("data/sub/NENA1.3ds", &path)) << "Linux separators work too";
}

TEST(WinFiles, ExactSpellingWins) {
  ScratchDir dir;
  dir.Write("Data/mano1.tga", Bytes("lower"));
  dir.Write("Data/Mano1.tga", Bytes("upper"));
  FILE* file = OpenShowFile("Data\\Mano1.tga", "rb");
  ASSERT_NE(file, nullptr);
  EXPECT_EQ(ReadAll(file), "upper");
  file = OpenShowFile("Data\\mano1.tga", "rb");
  ASSERT_NE(file, nullptr);
  EXPECT_EQ(ReadAll(file), "lower");
}

TEST(WinFiles, MissingNamesOpenNothing) {
  ScratchDir dir;
  dir.Write("Data/a.tga", Bytes("a"));
  std::string path = "untouched";
  EXPECT_EQ(OpenShowFile("Data\\b.tga", "rb"), nullptr);
  EXPECT_EQ(OpenShowFile("Dat\\a.tga", "rb"), nullptr);
  EXPECT_EQ(OpenShowFile("Data\\a.tga\\x", "rb"), nullptr);
  EXPECT_EQ(OpenShowFile("", "rb"), nullptr);
  EXPECT_EQ(OpenShowFile(nullptr, "rb"), nullptr);
  EXPECT_FALSE(ResolveShowFile("Data\\c.tga", &path));
}

TEST(WinFiles, FallsBackToTheExecutablesFolder) {
  // A folder beside the test executable, unique to this process.
  const std::filesystem::path exeFolder = std::filesystem::read_symlink("/proc/self/exe").parent_path();
  const std::string folderName = "WinFilesTest" + std::to_string(getpid());
  const std::filesystem::path beside = exeFolder / folderName;
  std::filesystem::create_directories(beside);
  std::ofstream(beside / "Shared.TXT") << "beside";
  struct Remove {
    std::filesystem::path path;
    ~Remove() { std::filesystem::remove_all(path); }
  } removeLater{beside};

  {
    ScratchDir dir;  // the working directory has no such folder
    FILE* file = OpenShowFile((folderName + "\\shared.txt").c_str(), "rb");
    ASSERT_NE(file, nullptr);
    EXPECT_EQ(ReadAll(file), "beside");

    // The working directory comes first.
    dir.Write(folderName + "/shared.txt", Bytes("here"));
    file = OpenShowFile((folderName + "\\Shared.txt").c_str(), "rb");
    ASSERT_NE(file, nullptr);
    EXPECT_EQ(ReadAll(file), "here");
  }
}
