// Exporting the show to a video file with its soundtrack: every frame drawn
// headless at the moment of an ideal playback, encoded with FFmpeg's libraries
// (H.264 and AAC in MP4, index first). Main thread only.
#pragma once

#include <cstdint>

struct VideoOptions {
  const char* out = nullptr;  // the file to write; its extension picks the container (MP4 otherwise)
  int fps = 60;               // frames per second of the show
  int width = 640;            // pixels, even
  int height = 480;           // pixels, even
  double from = 0;            // seconds of the show (since the music starts)
  double to = -1;             // seconds; below 0: the show's end
  int samples = 0;            // per pixel, 0: no multisampling
  bool progress = true;       // a bar on a terminal, a line per 10 % otherwise (stderr)
};

struct VideoReport {
  long frames = 0;          // frames written
  double mediaSeconds = 0;  // their duration
  double wallSeconds = 0;   // time spent rendering and encoding (setup excluded)
};

// Writes the video. The file appears under its name only when complete: it
// is written under a temporary name beside it and renamed at the end; on any
// failure or an interrupt (SIGINT, SIGTERM) nothing is left. False after a
// message on stderr.
bool ExportVideo(const VideoOptions& options, VideoReport* report);

// Frame i shows the moment i / fps seconds after `from`: the stream position
// (bytes, 88,200 per second) and the demo clock (milliseconds) of that moment.
uint32_t VideoFramePosition(const VideoOptions& options, long i);
double VideoFrameClock(const VideoOptions& options, long i);
