// The show's command line:
//   velmora-trailer [--window] [--mode-switch] [--render-size WxH] [--data DIR]
//                   [--start SECONDS] [--audio-offset MS] [--silent] [--help] [--version]
// Values follow their option as the next argument or after '='.
#pragma once

#include <string>

struct ShowOptions {
  bool window = false;        // start in a 640 x 480 window instead of full screen
  bool modeSwitch = false;    // full screen switches the display to the mode closest to 640 x 480
  int renderWidth = 0;        // pixels the picture is rendered at; 0: chosen by the window
  int renderHeight = 0;
  std::string dataFolder;     // searched first for the soundtrack and Data; empty: not given
  double startSeconds = 0.0;  // where in the soundtrack the show begins
  int audioOffsetMillis = 0;  // how much later than reported the sound is heard
  bool silent = false;        // play to no sound output, paced as if heard
  bool help = false;
  bool version = false;
};

// Fills *options from argv[1..argc-1]. False for an unknown option, a
// missing value or a bad one, with a one-line reason in *error.
bool ParseShowOptions(int argc, const char* const* argv, ShowOptions* options, std::string* error);

// The usage text, ending in a newline.
const char* ShowUsage();

// The stream position and demo-clock time of a start at `seconds`: bytes at
// 88,200 per second, and the milliseconds those bytes last.
unsigned StartPositionBytes(double seconds);
float StartClockMillis(unsigned positionBytes);
