/* Fault injection for the export test, loaded with LD_PRELOAD: the close of a
 * file opened for writing whose name holds $FAIL_CLOSE_MATCH fails with EIO
 * (after really closing it), as the last close on NFS or over a quota does. */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <errno.h>
#include <fcntl.h>
#include <stdarg.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#define MAX_FD 4096
static volatile char marked[MAX_FD]; /* descriptors whose close is to fail */

static void mark(int fd, const char *path, int flags) {
  const char *match = getenv("FAIL_CLOSE_MATCH");
  if (fd >= 0 && fd < MAX_FD && (flags & O_ACCMODE) != O_RDONLY && match && *match && strstr(path, match))
    marked[fd] = 1;
}

static mode_t mode_of(int flags, va_list ap) {
  return (flags & O_CREAT) || (flags & O_TMPFILE) == O_TMPFILE ? va_arg(ap, mode_t) : 0;
}

int open(const char *path, int flags, ...) {
  static int (*real)(const char *, int, ...);
  if (!real) real = (int (*)(const char *, int, ...))dlsym(RTLD_NEXT, "open");
  va_list ap;
  va_start(ap, flags);
  const mode_t mode = mode_of(flags, ap);
  va_end(ap);
  const int fd = real(path, flags, mode);
  mark(fd, path, flags);
  return fd;
}

int open64(const char *path, int flags, ...) {
  static int (*real)(const char *, int, ...);
  if (!real) real = (int (*)(const char *, int, ...))dlsym(RTLD_NEXT, "open64");
  va_list ap;
  va_start(ap, flags);
  const mode_t mode = mode_of(flags, ap);
  va_end(ap);
  const int fd = real(path, flags, mode);
  mark(fd, path, flags);
  return fd;
}

int close(int fd) {
  static int (*real)(int);
  if (!real) real = (int (*)(int))dlsym(RTLD_NEXT, "close");
  const int result = real(fd);
  if (fd >= 0 && fd < MAX_FD && marked[fd]) {
    marked[fd] = 0;
    if (result == 0) {
      errno = EIO;
      return -1;
    }
  }
  return result;
}
