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

// A file name unique to this process, removed at exit: under /dev/shm where
// there is one, else TMPDIR (or /tmp). The file is rewritten for every input,
// and on a disk file system (ext4) each rewrite is flushed to the disk on
// close, which took more than half of the fuzzers' time.
inline const char* FuzzFileName(const char* suffix) {
  static FuzzFile file;
  const char* folder = access("/dev/shm", W_OK | X_OK) == 0 ? "/dev/shm" : std::getenv("TMPDIR");
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
