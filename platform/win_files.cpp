#include "platform/win_files.h"

#include <dirent.h>
#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>

#include <climits>

// The folder of the running executable, with a trailing '/'; empty if unknown.
static std::string ExecutableFolder() {
  char path[PATH_MAX];
  const ssize_t length = readlink("/proc/self/exe", path, sizeof path - 1);
  if (length <= 0) return {};
  path[length] = '\0';
  std::string folder(path);
  return folder.substr(0, folder.rfind('/') + 1);
}

static bool Exists(const std::string& path) {
  struct stat info;
  return stat(path.c_str(), &info) == 0;
}

// Finds `name` in `folder` ignoring case; the exact spelling wins.
static bool MatchInFolder(const std::string& folder, const std::string& name, std::string* match) {
  const std::string here = folder.empty() ? "." : folder;
  if (Exists(folder + name)) {
    *match = name;
    return true;
  }
  DIR* dir = opendir(here.c_str());
  if (!dir) return false;
  bool found = false;
  while (const dirent* entry = readdir(dir)) {
    if (strcasecmp(entry->d_name, name.c_str()) == 0) {
      *match = entry->d_name;
      found = true;
      break;
    }
  }
  closedir(dir);
  return found;
}

// Resolves the components of `windowsName` one by one under `base` ("" or a
// folder ending in '/').
static bool ResolveUnder(const std::string& base, const std::string& windowsName, std::string* path) {
  std::string resolved = base;
  size_t start = 0;
  while (start <= windowsName.size()) {
    size_t end = windowsName.find_first_of("\\/", start);
    if (end == std::string::npos) end = windowsName.size();
    const std::string component = windowsName.substr(start, end - start);
    const bool last = end == windowsName.size();
    if (!component.empty()) {
      std::string match;
      if (!MatchInFolder(resolved, component, &match)) return false;
      resolved += match;
      if (!last) resolved += '/';
    }
    start = end + 1;
  }
  *path = resolved;
  return !resolved.empty() && Exists(resolved);
}

bool ResolveShowFile(const char* windowsName, std::string* path) {
  if (!windowsName || !*windowsName) return false;
  const std::string name(windowsName);
  if (name[0] == '/' || name[0] == '\\') return ResolveUnder("/", name, path);
  if (ResolveUnder("", name, path)) return true;
  const std::string exeFolder = ExecutableFolder();
  return !exeFolder.empty() && ResolveUnder(exeFolder, name, path);
}

FILE* OpenShowFile(const char* windowsName, const char* mode) {
  std::string path;
  if (!ResolveShowFile(windowsName, &path)) return nullptr;
  return std::fopen(path.c_str(), mode);
}
