// The media controls on Linux: an MPRIS player on the session bus, through
// sd-bus. sd-bus rather than GLib's GDBus: it needs no thread or main loop of
// its own, so the bus is served from the show's main loop (sd_bus_process
// never blocks), and a request changes the show's state on the thread that
// owns it, with no locks and no hand-over. Connecting does not wait either:
// the name is asked for asynchronously, and a bus that never answers only
// means the controls never appear.
#include "platform/media_controls.h"

#include <systemd/sd-bus.h>

#include <cstdio>
#include <cstring>

static const char kBusName[] = "org.mpris.MediaPlayer2.velmora_trailer";
static const char kObjectPath[] = "/org/mpris/MediaPlayer2";
static const char kRootInterface[] = "org.mpris.MediaPlayer2";
static const char kPlayerInterface[] = "org.mpris.MediaPlayer2.Player";
static const char kTrackId[] = "/one/velmora/trailer/track/1";
static const int kQueueSize = 16;

static struct {
  sd_bus* bus = nullptr;
  MediaControlsInfo info = {};
  bool playing = true;
  struct {
    MediaRequest request;
    int64_t micros;
  } queue[kQueueSize];  // requests not yet taken, oldest first
  int queued = 0;
} Mpris;

static void Queue(MediaRequest request, int64_t micros) {
  if (Mpris.queued == kQueueSize) return;  // a flood of presses: the first ones stand
  Mpris.queue[Mpris.queued++] = {request, micros};
}

// ---------------------------------------------------------------------------
// Methods
// ---------------------------------------------------------------------------
static int Ignore(sd_bus_message* m, void*, sd_bus_error*) { return sd_bus_reply_method_return(m, ""); }

static int QueueAndReply(sd_bus_message* m, MediaRequest request, int64_t micros) {
  Queue(request, micros);
  return sd_bus_reply_method_return(m, "");
}

static int Play(sd_bus_message* m, void*, sd_bus_error*) { return QueueAndReply(m, MediaRequest::Play, 0); }
static int Pause(sd_bus_message* m, void*, sd_bus_error*) { return QueueAndReply(m, MediaRequest::Pause, 0); }
static int PlayPause(sd_bus_message* m, void*, sd_bus_error*) { return QueueAndReply(m, MediaRequest::PlayPause, 0); }
static int Stop(sd_bus_message* m, void*, sd_bus_error*) { return QueueAndReply(m, MediaRequest::Stop, 0); }

static int Seek(sd_bus_message* m, void*, sd_bus_error*) {
  int64_t offset = 0;
  const int r = sd_bus_message_read(m, "x", &offset);
  return r < 0 ? r : QueueAndReply(m, MediaRequest::SeekBy, offset);
}

static int SetPosition(sd_bus_message* m, void*, sd_bus_error*) {
  const char* track = nullptr;
  int64_t position = 0;
  const int r = sd_bus_message_read(m, "ox", &track, &position);
  if (r < 0) return r;
  // MPRIS players ignore a position for another track or outside this one.
  if (std::strcmp(track, kTrackId) != 0 || position < 0 || position > Mpris.info.lengthMicros)
    return sd_bus_reply_method_return(m, "");
  return QueueAndReply(m, MediaRequest::SeekTo, position);
}

// ---------------------------------------------------------------------------
// Properties
// ---------------------------------------------------------------------------
static int GetString(sd_bus*, const char*, const char*, const char* property, sd_bus_message* reply, void*,
                     sd_bus_error*) {
  if (!std::strcmp(property, "Identity")) return sd_bus_message_append(reply, "s", Mpris.info.identity);
  if (!std::strcmp(property, "DesktopEntry")) return sd_bus_message_append(reply, "s", Mpris.info.desktopEntry);
  if (!std::strcmp(property, "PlaybackStatus"))
    return sd_bus_message_append(reply, "s", Mpris.playing ? "Playing" : "Paused");
  return sd_bus_message_append(reply, "s", "None");  // LoopStatus
}

static int GetEmptyList(sd_bus*, const char*, const char*, const char*, sd_bus_message* reply, void*,
                        sd_bus_error*) {
  return sd_bus_message_append(reply, "as", 0);
}

static int GetTrue(sd_bus*, const char*, const char*, const char*, sd_bus_message* reply, void*, sd_bus_error*) {
  return sd_bus_message_append(reply, "b", 1);
}

static int GetFalse(sd_bus*, const char*, const char*, const char*, sd_bus_message* reply, void*, sd_bus_error*) {
  return sd_bus_message_append(reply, "b", 0);
}

static int GetOne(sd_bus*, const char*, const char*, const char*, sd_bus_message* reply, void*, sd_bus_error*) {
  return sd_bus_message_append(reply, "d", 1.0);
}

static int GetPosition(sd_bus*, const char*, const char*, const char*, sd_bus_message* reply, void*,
                       sd_bus_error*) {
  return sd_bus_message_append(reply, "x", Mpris.info.positionMicros ? Mpris.info.positionMicros() : 0);
}

static int GetMetadata(sd_bus*, const char*, const char*, const char*, sd_bus_message* reply, void*,
                       sd_bus_error*) {
  int r = sd_bus_message_open_container(reply, 'a', "{sv}");
  if (r >= 0) r = sd_bus_message_append(reply, "{sv}", "mpris:trackid", "o", kTrackId);
  if (r >= 0) r = sd_bus_message_append(reply, "{sv}", "mpris:length", "x", Mpris.info.lengthMicros);
  if (r >= 0) r = sd_bus_message_append(reply, "{sv}", "xesam:title", "s", Mpris.info.title);
  if (r >= 0 && Mpris.info.artUrl) r = sd_bus_message_append(reply, "{sv}", "mpris:artUrl", "s", Mpris.info.artUrl);
  return r < 0 ? r : sd_bus_message_close_container(reply);
}

static const sd_bus_vtable kRootVtable[] = {
    SD_BUS_VTABLE_START(0),
    SD_BUS_METHOD("Raise", "", "", Ignore, SD_BUS_VTABLE_UNPRIVILEGED),
    SD_BUS_METHOD("Quit", "", "", Stop, SD_BUS_VTABLE_UNPRIVILEGED),
    SD_BUS_PROPERTY("CanQuit", "b", GetTrue, 0, SD_BUS_VTABLE_PROPERTY_CONST),
    SD_BUS_PROPERTY("CanRaise", "b", GetFalse, 0, SD_BUS_VTABLE_PROPERTY_CONST),
    SD_BUS_PROPERTY("HasTrackList", "b", GetFalse, 0, SD_BUS_VTABLE_PROPERTY_CONST),
    SD_BUS_PROPERTY("Identity", "s", GetString, 0, SD_BUS_VTABLE_PROPERTY_CONST),
    SD_BUS_PROPERTY("DesktopEntry", "s", GetString, 0, SD_BUS_VTABLE_PROPERTY_CONST),
    SD_BUS_PROPERTY("SupportedUriSchemes", "as", GetEmptyList, 0, SD_BUS_VTABLE_PROPERTY_CONST),
    SD_BUS_PROPERTY("SupportedMimeTypes", "as", GetEmptyList, 0, SD_BUS_VTABLE_PROPERTY_CONST),
    SD_BUS_VTABLE_END};

static const sd_bus_vtable kPlayerVtable[] = {
    SD_BUS_VTABLE_START(0),
    SD_BUS_METHOD("Next", "", "", Ignore, SD_BUS_VTABLE_UNPRIVILEGED),
    SD_BUS_METHOD("Previous", "", "", Ignore, SD_BUS_VTABLE_UNPRIVILEGED),
    SD_BUS_METHOD("Pause", "", "", Pause, SD_BUS_VTABLE_UNPRIVILEGED),
    SD_BUS_METHOD("PlayPause", "", "", PlayPause, SD_BUS_VTABLE_UNPRIVILEGED),
    SD_BUS_METHOD("Stop", "", "", Stop, SD_BUS_VTABLE_UNPRIVILEGED),
    SD_BUS_METHOD("Play", "", "", Play, SD_BUS_VTABLE_UNPRIVILEGED),
    SD_BUS_METHOD("Seek", "x", "", Seek, SD_BUS_VTABLE_UNPRIVILEGED),
    SD_BUS_METHOD("SetPosition", "ox", "", SetPosition, SD_BUS_VTABLE_UNPRIVILEGED),
    SD_BUS_METHOD("OpenUri", "s", "", Ignore, SD_BUS_VTABLE_UNPRIVILEGED),
    SD_BUS_SIGNAL("Seeked", "x", 0),
    SD_BUS_PROPERTY("PlaybackStatus", "s", GetString, 0, SD_BUS_VTABLE_PROPERTY_EMITS_CHANGE),
    SD_BUS_PROPERTY("LoopStatus", "s", GetString, 0, SD_BUS_VTABLE_PROPERTY_CONST),
    SD_BUS_PROPERTY("Rate", "d", GetOne, 0, SD_BUS_VTABLE_PROPERTY_CONST),
    SD_BUS_PROPERTY("Shuffle", "b", GetFalse, 0, SD_BUS_VTABLE_PROPERTY_CONST),
    SD_BUS_PROPERTY("Metadata", "a{sv}", GetMetadata, 0, SD_BUS_VTABLE_PROPERTY_CONST),
    SD_BUS_PROPERTY("Volume", "d", GetOne, 0, SD_BUS_VTABLE_PROPERTY_CONST),
    SD_BUS_PROPERTY("Position", "x", GetPosition, 0, 0),  // asked for, never announced
    SD_BUS_PROPERTY("MinimumRate", "d", GetOne, 0, SD_BUS_VTABLE_PROPERTY_CONST),
    SD_BUS_PROPERTY("MaximumRate", "d", GetOne, 0, SD_BUS_VTABLE_PROPERTY_CONST),
    SD_BUS_PROPERTY("CanGoNext", "b", GetFalse, 0, SD_BUS_VTABLE_PROPERTY_CONST),
    SD_BUS_PROPERTY("CanGoPrevious", "b", GetFalse, 0, SD_BUS_VTABLE_PROPERTY_CONST),
    SD_BUS_PROPERTY("CanPlay", "b", GetTrue, 0, SD_BUS_VTABLE_PROPERTY_CONST),
    SD_BUS_PROPERTY("CanPause", "b", GetTrue, 0, SD_BUS_VTABLE_PROPERTY_CONST),
    SD_BUS_PROPERTY("CanSeek", "b", GetTrue, 0, SD_BUS_VTABLE_PROPERTY_CONST),
    SD_BUS_PROPERTY("CanControl", "b", GetTrue, 0, SD_BUS_VTABLE_PROPERTY_CONST),
    SD_BUS_VTABLE_END};

// ---------------------------------------------------------------------------
// The player
// ---------------------------------------------------------------------------
static int NameAnswered(sd_bus_message* m, void*, sd_bus_error*) {
  if (sd_bus_message_is_method_error(m, nullptr))
    std::fprintf(stderr, "velmora-trailer: the session bus refused the name %s: no media controls\n", kBusName);
  return 0;
}

bool MediaControlsStart(const MediaControlsInfo& info) {
  MediaControlsStop();
  Mpris.info = info;
  Mpris.playing = true;
  Mpris.queued = 0;
  sd_bus* bus = nullptr;
  int r = sd_bus_open_user(&bus);
  if (r >= 0) r = sd_bus_add_object_vtable(bus, nullptr, kObjectPath, kRootInterface, kRootVtable, nullptr);
  if (r >= 0) r = sd_bus_add_object_vtable(bus, nullptr, kObjectPath, kPlayerInterface, kPlayerVtable, nullptr);
  if (r >= 0) r = sd_bus_request_name_async(bus, nullptr, kBusName, 0, NameAnswered, nullptr);
  if (r < 0) {
    std::fprintf(stderr, "velmora-trailer: no session bus (%s), so no desktop media controls; the keys still work\n",
                 std::strerror(-r));
    sd_bus_unref(bus);
    return false;
  }
  Mpris.bus = bus;
  return true;
}

void MediaControlsStop() {
  if (!Mpris.bus) return;
  sd_bus_close_unref(Mpris.bus);  // no flush: a bus that does not read must not hold the end up
  Mpris.bus = nullptr;
}

MediaRequest MediaControlsPoll(int64_t* micros) {
  if (Mpris.bus) {
    // Each call serves one message; what is left waits for the next pass.
    for (int served = 0; served < 32; ++served) {
      const int r = sd_bus_process(Mpris.bus, nullptr);
      if (r < 0) {
        std::fprintf(stderr, "velmora-trailer: the session bus went away (%s): no more media controls\n",
                     std::strerror(-r));
        sd_bus_unref(Mpris.bus);
        Mpris.bus = nullptr;
        break;
      }
      if (r == 0) break;
    }
  }
  *micros = 0;
  if (Mpris.queued == 0) return MediaRequest::None;
  const MediaRequest request = Mpris.queue[0].request;
  *micros = Mpris.queue[0].micros;
  for (int i = 1; i < Mpris.queued; ++i) Mpris.queue[i - 1] = Mpris.queue[i];
  --Mpris.queued;
  return request;
}

void MediaControlsPlaying(bool playing) {
  if (Mpris.playing == playing) return;
  Mpris.playing = playing;
  if (Mpris.bus) sd_bus_emit_properties_changed(Mpris.bus, kObjectPath, kPlayerInterface, "PlaybackStatus", nullptr);
}

void MediaControlsSeeked(int64_t positionMicros) {
  if (Mpris.bus) sd_bus_emit_signal(Mpris.bus, kObjectPath, kPlayerInterface, "Seeked", "x", positionMicros);
}
