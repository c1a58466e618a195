#include "platform/win_files.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <climits>
#include <cstring>

// Where `make install` puts the data, relative to the installed executable's
// folder; the build passes the install layout's.
#ifndef TRAILER_DATA_FROM_BIN
#define TRAILER_DATA_FROM_BIN "../share/velmora-trailer"
#endif

// A data folder is one that holds the soundtrack: a folder merely named
// "data" (there are many) is not one.
static const char kSoundtrack[] = "TrailerLOW.mp3";

static std::string GivenDataFolder;  // SetShowDataFolder's; searched first
static bool NamesArePaths = false;   // TakeShowNamesAsPaths's

enum class Kind { File, Folder };

// The folder of the running executable, with a trailing '/'; empty if unknown.
static std::string ExecutableFolder() {
  char path[PATH_MAX];
  const ssize_t length = readlink("/proc/self/exe", path, sizeof path - 1);
  if (length <= 0) return {};
  path[length] = '\0';
  std::string folder(path);
  return folder.substr(0, folder.rfind('/') + 1);
}

static bool IsA(const std::string& path, Kind kind) {
  struct stat info;
  if (stat(path.c_str(), &info) != 0) return false;
  return kind == Kind::Folder ? S_ISDIR(info.st_mode) : !S_ISDIR(info.st_mode);
}

static bool SameIgnoringCase(const char* a, const char* b) {
  for (; *a && *b; ++a, ++b)
    if (std::tolower(static_cast<unsigned char>(*a)) != std::tolower(static_cast<unsigned char>(*b))) return false;
  return *a == *b;
}

// Finds `name` of that kind in `folder` ("" or ending in '/'): the exact
// spelling, else the first case-insensitive match in byte order.
static bool MatchInFolder(const std::string& folder, const std::string& name, Kind kind, std::string* match) {
  if (IsA(folder + name, kind)) {
    *match = name;
    return true;
  }
  DIR* dir = opendir(folder.empty() ? "." : folder.c_str());
  if (!dir) return false;
  bool found = false;
  while (const dirent* entry = readdir(dir)) {
    if (!SameIgnoringCase(entry->d_name, name.c_str())) continue;
    if (found && std::strcmp(entry->d_name, match->c_str()) >= 0) continue;
    if (!IsA(folder + entry->d_name, kind)) continue;
    *match = entry->d_name;
    found = true;
  }
  closedir(dir);
  return found;
}

// Resolves the components of `windowsName` one by one under `base` ("" or a
// folder ending in '/'): folders, then a file.
static bool ResolveUnder(const std::string& base, const std::string& windowsName, std::string* path) {
  std::string resolved = base;
  size_t start = 0;
  bool named = false;
  while (start <= windowsName.size()) {
    size_t end = windowsName.find_first_of("\\/", start);
    if (end == std::string::npos) end = windowsName.size();
    const std::string component = windowsName.substr(start, end - start);
    const bool last = end == windowsName.size();
    if (!component.empty()) {
      std::string match;
      if (!MatchInFolder(resolved, component, last ? Kind::File : Kind::Folder, &match)) return false;
      resolved += match;
      if (!last) resolved += '/';
      named = true;
    } else if (last) {
      return false;  // a name ending in a separator names a folder
    }
    start = end + 1;
  }
  if (!named) return false;
  *path = resolved;
  return true;
}

static bool HoldsShowData(const std::string& folder) {
  std::string match;
  return MatchInFolder(folder, kSoundtrack, Kind::File, &match);
}

static std::string AsFolder(std::string folder) {
  if (!folder.empty() && folder.back() != '/') folder += '/';
  return folder;
}

void SetShowDataFolder(const std::string& folder) { GivenDataFolder = AsFolder(folder); }

bool IsShowDataFolder(const std::string& folder) { return !folder.empty() && HoldsShowData(AsFolder(folder)); }

void TakeShowNamesAsPaths(bool on) { NamesArePaths = on; }

std::string ShowDataFolder() {
  const std::string exeFolder = ExecutableFolder();
  const std::string candidates[] = {
      GivenDataFolder,
      "",  // the working directory
      exeFolder,
      exeFolder.empty() ? std::string() : AsFolder(exeFolder + TRAILER_DATA_FROM_BIN),
  };
  for (size_t i = 0; i < sizeof candidates / sizeof candidates[0]; ++i) {
    const std::string& folder = candidates[i];
    if (i != 1 && folder.empty()) continue;  // not given or not known
    if (HoldsShowData(folder)) return folder;
  }
  return "";
}

bool ResolveShowFile(const char* windowsName, std::string* path) {
  if (!windowsName || !*windowsName) return false;
  const std::string name(windowsName);
  if (NamesArePaths) {
    if (!IsA(name, Kind::File)) return false;
    *path = name;
    return true;
  }
  if (name[0] == '/' || name[0] == '\\') return ResolveUnder("/", name, path);
  return ResolveUnder(ShowDataFolder(), name, path);
}

int OpenRegularFile(const char* path, FileProblem* problem) {
  FileProblem dummy;
  if (!problem) problem = &dummy;
  // Non-blocking, so that a FIFO or a device cannot hold the open for ever;
  // it is refused right after.
  const int fd = open(path, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    *problem = errno == ENOENT || errno == ENOTDIR ? FileProblem::NotFound : FileProblem::Unreadable;
    return -1;
  }
  struct stat info;
  if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
    close(fd);
    *problem = FileProblem::NotRegular;
    return -1;
  }
  fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK);
  *problem = FileProblem::None;
  return fd;
}

FILE* OpenShowFile(const char* windowsName, FileProblem* problem) {
  FileProblem dummy;
  if (!problem) problem = &dummy;
  std::string path;
  if (!ResolveShowFile(windowsName, &path)) {
    *problem = FileProblem::NotFound;
    return nullptr;
  }
  const int fd = OpenRegularFile(path.c_str(), problem);
  if (fd < 0) return nullptr;
  FILE* file = fdopen(fd, "rb");
  if (!file) {
    close(fd);
    *problem = FileProblem::Unreadable;
  }
  return file;
}

const char* FileProblemText(FileProblem problem) {
  switch (problem) {
    case FileProblem::None: return "no problem";
    case FileProblem::NotFound: return "not found";
    case FileProblem::NotRegular: return "not a regular file";
    case FileProblem::Unreadable: return "cannot be read";
  }
  return "cannot be read";
}
