#include "tools/soundgen/mp3_decode.h"

#include <fcntl.h>
#include <mpg123.h>
#include <sys/stat.h>
#include <unistd.h>

bool DecodeMp3(const char* path, std::vector<int16_t>* pcm, long* rate, int* channels) {
  if (mpg123_init() != MPG123_OK) return false;
  int error = 0;
  mpg123_handle* decoder = mpg123_new(nullptr, &error);
  if (!decoder) return false;
  mpg123_param(decoder, MPG123_REMOVE_FLAGS, MPG123_GAPLESS, 0.0);
  mpg123_param(decoder, MPG123_ADD_FLAGS, MPG123_QUIET, 0.0);
  // Regular files only, opened without blocking: a FIFO would hold the open.
  const int fd = open(path, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  struct stat info;
  bool ok = fd >= 0 && fstat(fd, &info) == 0 && S_ISREG(info.st_mode) &&
            fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK) == 0;
  int encoding = 0;
  ok = ok && mpg123_open_fd(decoder, fd) == MPG123_OK &&
       mpg123_getformat(decoder, rate, channels, &encoding) == MPG123_OK;
  if (ok) {
    mpg123_format_none(decoder);
    mpg123_format(decoder, *rate, *channels, MPG123_ENC_SIGNED_16);
  }
  while (ok) {
    unsigned char buffer[16384];
    size_t bytes = 0;
    const int result = mpg123_read(decoder, buffer, sizeof buffer, &bytes);
    const int16_t* samples = reinterpret_cast<const int16_t*>(buffer);
    pcm->insert(pcm->end(), samples, samples + bytes / 2);
    if (result == MPG123_DONE) break;
    ok = result == MPG123_OK || result == MPG123_NEW_FORMAT;
  }
  mpg123_close(decoder);
  mpg123_delete(decoder);
  if (fd >= 0) close(fd);
  return ok;
}
