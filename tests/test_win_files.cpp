// Opening the show's files by their Windows names: separators, case, the exact
// spelling first, files apart from folders, and one data folder for all.
#include "platform/win_files.h"
#include "tests/support/gl_test.h"

#include <sys/stat.h>

#include <cstdio>
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
  FILE* file = OpenShowFile("Data\\Sub\\Nena1.3DS");
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
  FILE* file = OpenShowFile("Data\\Mano1.tga");
  ASSERT_NE(file, nullptr);
  EXPECT_EQ(ReadAll(file), "upper");
  file = OpenShowFile("Data\\mano1.tga");
  ASSERT_NE(file, nullptr);
  EXPECT_EQ(ReadAll(file), "lower");
}

TEST(WinFiles, MissingNamesOpenNothing) {
  ScratchDir dir;
  dir.Write("Data/a.tga", Bytes("a"));
  std::string path = "untouched";
  EXPECT_EQ(OpenShowFile("Data\\b.tga"), nullptr);
  EXPECT_EQ(OpenShowFile("Dat\\a.tga"), nullptr);
  EXPECT_EQ(OpenShowFile("Data\\a.tga\\x"), nullptr);
  EXPECT_EQ(OpenShowFile(""), nullptr);
  EXPECT_EQ(OpenShowFile(nullptr), nullptr);
  EXPECT_FALSE(ResolveShowFile("Data\\c.tga", &path));
}

TEST(WinFiles, CaseOnlyTwinsResolveTheSameWayEveryTime) {
  ScratchDir dir;
  dir.Write("Data/MANO1.TGA", Bytes("upper"));
  dir.Write("Data/mano1.tga", Bytes("lower"));
  std::string path;
  ASSERT_TRUE(ResolveShowFile("Data\\Mano1.Tga", &path));
  EXPECT_EQ(path, "Data/MANO1.TGA");  // byte order, not the folder's listing order
}

TEST(WinFiles, AFolderIsNotAFileNorAFileAFolder) {
  ScratchDir dir;
  dir.Write("data", Bytes("a file named like the folder"));
  dir.Write("DATA/castle1.3ds/inside", Bytes("x"));  // a folder named like a model
  dir.Write("DATA/CASTLE1.3DS", Bytes("model"));
  std::string path;
  ASSERT_TRUE(ResolveShowFile("Data\\castle1.3ds", &path));
  EXPECT_EQ(path, "DATA/CASTLE1.3DS");
  EXPECT_FALSE(ResolveShowFile("Data\\", &path));
}

TEST(WinFiles, TakesEverythingFromTheFirstFolderHoldingData) {
  ScratchDir dir;  // the working directory holds a soundtrack and Data
  dir.Write("TrailerLOW.mp3", Bytes("here"));
  dir.Write("Data/a.tga", Bytes("here"));
  dir.Write("given/trailerlow.MP3", Bytes("given"));  // the given folder holds only a soundtrack
  dir.Write("empty/readme", Bytes("no data"));

  SetShowDataFolder(dir.Path() + "/empty");  // holds no data: not taken
  EXPECT_EQ(ShowDataFolder(), "");
  SetShowDataFolder(dir.Path() + "/given");
  EXPECT_EQ(ShowDataFolder(), dir.Path() + "/given/");
  FILE* file = OpenShowFile("TrailerLOW.mp3");
  ASSERT_NE(file, nullptr);
  EXPECT_EQ(ReadAll(file), "given");
  EXPECT_EQ(OpenShowFile("Data\\a.tga"), nullptr) << "never a mix of two folders";
  SetShowDataFolder("");
  file = OpenShowFile("Data\\a.tga");
  ASSERT_NE(file, nullptr);
  EXPECT_EQ(ReadAll(file), "here");
}

TEST(WinFiles, OnlyAFolderHoldingTheSoundtrackIsADataFolder) {
  ScratchDir dir;
  dir.Write("data/Castle1.3ds", Bytes("a stray folder named data"));
  EXPECT_FALSE(IsShowDataFolder(dir.Path()));
  EXPECT_FALSE(IsShowDataFolder(dir.Path() + "/no/such/folder"));
  dir.Write("trailerlow.MP3", Bytes("sound"));
  EXPECT_TRUE(IsShowDataFolder(dir.Path()));
}

TEST(WinFiles, OnlyRegularFilesOpenAndNothingWaits) {
  ScratchDir dir;
  dir.Write("Data/a.tga", Bytes("a"));
  ASSERT_EQ(mkfifo("Data/fifo.tga", 0644), 0);  // nobody writes to it
  FileProblem problem = FileProblem::None;
  EXPECT_EQ(OpenShowFile("Data\\fifo.tga", &problem), nullptr);
  EXPECT_EQ(problem, FileProblem::NotRegular);
  EXPECT_EQ(OpenShowFile("/dev/null", &problem), nullptr);
  EXPECT_EQ(problem, FileProblem::NotRegular);
  EXPECT_EQ(OpenShowFile("Data\\none.tga", &problem), nullptr);
  EXPECT_EQ(problem, FileProblem::NotFound);
  FILE* file = OpenShowFile("Data\\a.tga", &problem);
  ASSERT_NE(file, nullptr);
  EXPECT_EQ(problem, FileProblem::None);
  EXPECT_EQ(ReadAll(file), "a") << "read in blocking mode, whole";
}

TEST(WinFiles, NamesTakenAsPathsMeanWhatTheySay) {
  ScratchDir dir;
  dir.Write("TrailerLOW.mp3", Bytes("here"));
  dir.Write("sub/n.tga", Bytes("n"));
  dir.Write("Data/n.tga", Bytes("data"));
  TakeShowNamesAsPaths(true);
  std::string path;
  EXPECT_TRUE(ResolveShowFile("sub/n.tga", &path));
  EXPECT_EQ(path, "sub/n.tga");
  EXPECT_FALSE(ResolveShowFile("sub/N.TGA", &path)) << "no case folding";
  EXPECT_FALSE(ResolveShowFile("sub\\n.tga", &path)) << "a backslash is part of a Linux name";
  EXPECT_FALSE(ResolveShowFile("sub", &path)) << "a folder is no file";
  TakeShowNamesAsPaths(false);
  EXPECT_TRUE(ResolveShowFile("Data\\N.tga", &path));
  EXPECT_EQ(path, "Data/n.tga");
}
