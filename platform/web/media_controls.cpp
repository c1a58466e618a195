// The media controls in a browser: the page's Media Session, which a
// browser shows in its own media panel and hands the keyboard's media keys
// and a paired headset's buttons. Its action handlers queue requests; the
// show takes them in MediaControlsPoll.
#include "platform/media_controls.h"

#include <emscripten.h>

// clang-format off
EM_JS(int, velmora_media_start, (const char* title, double lengthSeconds), {
  if (!navigator.mediaSession) return 0;
  Module.mediaRequests = [];
  var queue = function(kind, seconds) { Module.mediaRequests.push([kind, seconds || 0]); };
  var session = navigator.mediaSession;
  session.metadata = new MediaMetadata({title: UTF8ToString(title)});
  Module.mediaLength = lengthSeconds;
  var actions = {play: function() { queue(1); }, pause: function() { queue(2); }, stop: function() { queue(4); },
                 seekbackward: function(d) { queue(5, -(d.seekOffset || 5)); },
                 seekforward: function(d) { queue(5, d.seekOffset || 5); },
                 seekto: function(d) { queue(6, d.seekTime); }};
  for (var name in actions) {
    try { session.setActionHandler(name, actions[name]); } catch (e) { /* not offered by this browser */ }
  }
  session.playbackState = 'playing';
  return 1;
});
EM_JS(int, velmora_media_take, (double* seconds), {
  var queue = Module.mediaRequests;
  if (!queue || !queue.length) return 0;
  var request = queue.shift();
  setValue(seconds, request[1], 'double');
  return request[0];
});
EM_JS(void, velmora_media_state, (int playing, double positionSeconds), {
  if (!navigator.mediaSession) return;
  navigator.mediaSession.playbackState = playing ? 'playing' : 'paused';
  if (navigator.mediaSession.setPositionState && positionSeconds >= 0) {
    navigator.mediaSession.setPositionState({duration: Module.mediaLength, playbackRate: 1,
                                             position: Math.min(positionSeconds, Module.mediaLength)});
  }
});
// clang-format on

static struct {
  MediaControlsInfo info = {};
  bool on = false;
  bool playing = true;
} Web;

static double PositionSeconds() { return Web.info.positionMicros ? double(Web.info.positionMicros()) / 1e6 : -1.0; }

bool MediaControlsStart(const MediaControlsInfo& info) {
  Web.info = info;
  Web.on = velmora_media_start(info.title, double(info.lengthMicros) / 1e6) != 0;
  return Web.on;
}

void MediaControlsStop() { Web.on = false; }

MediaRequest MediaControlsPoll(int64_t* micros) {
  *micros = 0;
  if (!Web.on) return MediaRequest::None;
  double seconds = 0;
  const int kind = velmora_media_take(&seconds);
  *micros = int64_t(seconds * 1e6);
  switch (kind) {
    case 1: return MediaRequest::Play;
    case 2: return MediaRequest::Pause;
    case 4: return MediaRequest::Stop;
    case 5: return MediaRequest::SeekBy;
    case 6: return MediaRequest::SeekTo;
    default: return MediaRequest::None;
  }
}

void MediaControlsPlaying(bool playing) {
  Web.playing = playing;
  if (Web.on) velmora_media_state(playing ? 1 : 0, PositionSeconds());
}

void MediaControlsSeeked(int64_t) {
  if (Web.on) velmora_media_state(Web.playing ? 1 : 0, PositionSeconds());
}
