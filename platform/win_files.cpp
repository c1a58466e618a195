#include "platform/win_files.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <climits>
#include <cstring>

// Where `make install` puts the data, relative to the installed executable's
// folder; the build passes the install layout's.
#ifndef TRAILER_DATA_FROM_BIN
#define TRAILER_DATA_FROM_BIN "../share/velmora-trailer"
#endif

// What a data folder holds: the soundtrack (a file) or the models and
// textures (a folder).
static const struct {
  const char* name;
  bool folder;
} kDataMarkers[] = {{"TrailerLOW.mp3", false}, {"Data", true}};

static std::string GivenDataFolder;  // SetShowDataFolder's; searched first

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
  for (const auto& marker : kDataMarkers)
    if (MatchInFolder(folder, marker.name, marker.folder ? Kind::Folder : Kind::File, &match)) return true;
  return false;
}

static std::string AsFolder(std::string folder) {
  if (!folder.empty() && folder.back() != '/') folder += '/';
  return folder;
}

void SetShowDataFolder(const std::string& folder) { GivenDataFolder = AsFolder(folder); }

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
  if (name[0] == '/' || name[0] == '\\') return ResolveUnder("/", name, path);
  return ResolveUnder(ShowDataFolder(), name, path);
}

FILE* OpenShowFile(const char* windowsName, const char* mode) {
  std::string path;
  if (!ResolveShowFile(windowsName, &path)) return nullptr;
  return std::fopen(path.c_str(), mode);
}
