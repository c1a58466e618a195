// The page's hooks into the show, built only for the browser: what the page
// reads to print its console lines for tests and for anyone checking the
// page (platform/web/page/velmora-page.js, marks=1). They read what the show
// reads, the way it reads it; nothing here changes the show.
#include "app/clock.h"
#include "app/soundtrack.h"
#include "show/score.h"

#include <emscripten.h>

extern "C" {

// The stream position now, in stream bytes; 0 before the stream exists.
EMSCRIPTEN_KEEPALIVE uint32_t velmora_position() { return BSS_Stream ? StreamPosition() : 0; }

// The demo clock now, in milliseconds.
EMSCRIPTEN_KEEPALIVE double velmora_clock() { return TimerGetTime(); }

// Where the scenes start, in show order, then where the closing lines do:
// the page's frame times go by scene.
EMSCRIPTEN_KEEPALIVE uint32_t velmora_scene_start(int i) {
  static const uint32_t kStarts[] = {kTitleStart, kHandStart, kCastleStart, kFlightStart, kCreditsStart,
                                     kClosingStart};
  return i >= 0 && i < int(sizeof kStarts / sizeof kStarts[0]) ? kStarts[i] : kShowEnd;
}

// Stream bytes in a second of the soundtrack.
EMSCRIPTEN_KEEPALIVE uint32_t velmora_bytes_per_second() { return kStreamBytesPerSecond; }

// The marks of the score the soundtrack accents, in order.
EMSCRIPTEN_KEEPALIVE int velmora_mark_count() { return kScoreMarkCount; }
EMSCRIPTEN_KEEPALIVE uint32_t velmora_mark(int i) { return i >= 0 && i < kScoreMarkCount ? kScoreMarks[i].bytes : 0; }
}
