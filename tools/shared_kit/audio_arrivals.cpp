#include "tools/shared_kit/audio_arrivals.h"

#include "platform/audio_output.h"

#include <cerrno>
#include <csignal>
#include <cstring>
#include <thread>

#include <sys/wait.h>
#include <unistd.h>

static struct {
  pid_t child = 0;
  int pipe = -1;                             // the command's standard output
  int rate = 0;
  std::vector<uint8_t> bytes;                // the reading thread's, until it ends
  std::vector<TimedSound::Anchor> arrivals;  // first frame of each read, when it was read
  std::thread reader;
} Arr;

static void ReadAll() {
  uint8_t buffer[16384];
  for (;;) {
    const ssize_t got = read(Arr.pipe, buffer, sizeof buffer);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) return;
    const int64_t now = AudioMonotonicNanos();
    // The first whole frame of the read (a read may begin mid-frame).
    const int64_t frame = int64_t((Arr.bytes.size() + 3) / 4);
    Arr.bytes.insert(Arr.bytes.end(), buffer, buffer + got);
    if (frame < int64_t(Arr.bytes.size() / 4) && (Arr.arrivals.empty() || frame > Arr.arrivals.back().frame))
      Arr.arrivals.push_back({frame, now});
  }
}

bool ArrivalsStart(const char* command, int rate) {
  int ends[2];
  if (pipe(ends) != 0) return false;
  const pid_t child = fork();
  if (child < 0) {
    close(ends[0]);
    close(ends[1]);
    return false;
  }
  if (child == 0) {
    setpgid(0, 0);  // a group of its own, so that its children end with it
    dup2(ends[1], STDOUT_FILENO);
    close(ends[0]);
    close(ends[1]);
    execl("/bin/sh", "sh", "-c", command, static_cast<char*>(nullptr));
    _exit(127);
  }
  setpgid(child, 0);
  close(ends[1]);
  Arr.child = child;
  Arr.pipe = ends[0];
  Arr.rate = rate;
  Arr.bytes.clear();
  Arr.arrivals.clear();
  Arr.reader = std::thread(ReadAll);
  return true;
}

bool ArrivalsStop(TimedSound* recording) {
  if (!Arr.child) return false;
  kill(-Arr.child, SIGTERM);
  Arr.reader.join();
  waitpid(Arr.child, nullptr, 0);
  close(Arr.pipe);
  Arr.child = 0;
  Arr.pipe = -1;
  recording->rate = Arr.rate;
  recording->stereo.resize(Arr.bytes.size() / 4 * 2);
  std::memcpy(recording->stereo.data(), Arr.bytes.data(), recording->stereo.size() * 2);
  recording->anchors = AnchorsFromArrivals(Arr.arrivals, Arr.rate);
  return !recording->anchors.empty();
}
