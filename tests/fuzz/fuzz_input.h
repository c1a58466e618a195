// Shared by the fuzz targets: the input goes to a file of this process's own,
// since the loaders take file names.
#pragma once

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <unistd.h>

struct FuzzFile {
  char path[96];
};

// A file name under TMPDIR (or /tmp), unique to this process, removed at exit.
inline const char* FuzzFileName(const char* suffix) {
  static FuzzFile file;
  const char* folder = std::getenv("TMPDIR");
  std::snprintf(file.path, sizeof file.path, "%s/trailer-fuzz-%d%s", folder && *folder ? folder : "/tmp",
                int(getpid()), suffix);
  std::atexit([] { unlink(file.path); });
  return file.path;
}

inline void WriteFuzzFile(const char* path, const uint8_t* data, size_t size) {
  FILE* f = std::fopen(path, "wb");
  if (!f) std::abort();
  if (size && std::fwrite(data, 1, size, f) != size) std::abort();
  std::fclose(f);
}
