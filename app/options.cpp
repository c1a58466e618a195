#include "app/options.h"

#include "app/arguments.h"
#include "show/score.h"

#include <cmath>

// A start at or past the end has nothing to show.
static const double kShowSeconds = double(kShowEnd) / kStreamBytesPerSecond;

static const char kUsage[] =
    "usage: velmora-trailer [--window] [--mode-switch] [--render-size WxH] [--data DIR]\n"
    "                       [--start SECONDS] [--audio-offset MS] [--silent] [--help] [--version]\n"
    "  --window            start in a 640x480 window instead of full screen\n"
    "  --mode-switch       full screen switches the display to the mode closest to 640x480\n"
    "  --render-size WxH   render the picture at WxH pixels and scale it to the screen\n"
    "  --data DIR          take TrailerLOW.mp3 and Data from DIR, which must hold TrailerLOW.mp3\n"
    "  --start SECONDS     begin the show that far in (0 to 133.2)\n"
    "  --audio-offset MS   show the picture MS milliseconds later (negative: earlier)\n"
    "  --silent            play no sound (for a machine without any); the show keeps its pace\n"
    "  --help              print this and exit\n"
    "  --version           print the version and exit\n"
    "Data: the soundtrack and the Data folder come from the first folder holding TrailerLOW.mp3:\n"
    "  --data DIR, the working directory, the program's folder, then the installed data.\n"
    "Keys: Space switches between full screen and window, Escape ends the show, P (or the Play/Pause\n"
    "  key) pauses and resumes, Left and Right jump 5 s back and on, Home to the start.\n"
    "Desktop media controls: MPRIS, as org.mpris.MediaPlayer2.velmora_trailer on the session bus.\n";

const char* ShowUsage() { return kUsage; }

static bool ParseSeconds(const char* text, double* seconds) {
  return ParseNumber(text, 0.0, kShowSeconds, seconds) && *seconds < kShowSeconds;
}

bool ParseShowOptions(int argc, const char* const* argv, ShowOptions* options, std::string* error) {
  *options = ShowOptions();
  for (int i = 1; i < argc; ++i) {
    std::string name = argv[i];
    const char* value = nullptr;
    const size_t equals = name.find('=');
    if (name.rfind("--", 0) == 0 && equals != std::string::npos) {
      value = argv[i] + equals + 1;
      name.resize(equals);
    }
    const bool takesValue =
        name == "--render-size" || name == "--data" || name == "--start" || name == "--audio-offset";
    if (takesValue && !value) {
      if (i + 1 >= argc) {
        *error = name + " needs a value";
        return false;
      }
      value = argv[++i];
    } else if (!takesValue && value) {
      *error = name + " takes no value";
      return false;
    }

    bool good = true;
    if (name == "--window") {
      options->window = true;
    } else if (name == "--mode-switch") {
      options->modeSwitch = true;
    } else if (name == "--help" || name == "-h") {
      options->help = true;
    } else if (name == "--version") {
      options->version = true;
    } else if (name == "--silent") {
      options->silent = true;
    } else if (name == "--render-size") {
      good = ParseSize(value, 1, 16384, &options->renderWidth, &options->renderHeight);
    } else if (name == "--data") {
      good = *value != '\0';
      options->dataFolder = value;
    } else if (name == "--start") {
      good = ParseSeconds(value, &options->startSeconds);
    } else if (name == "--audio-offset") {
      good = ParseInteger(value, -10000, 10000, &options->audioOffsetMillis);
    } else {
      *error = "unknown option " + name;
      return false;
    }
    if (!good) {
      *error = "bad value for " + name + ": '" + value + "'";
      return false;
    }
  }
  return true;
}

unsigned StartPositionBytes(double seconds) { return unsigned(std::llround(seconds * kStreamBytesPerSecond)); }

float StartClockMillis(unsigned positionBytes) { return float(positionBytes * 1000.0 / kStreamBytesPerSecond); }
