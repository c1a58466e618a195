// The video export: renders frames headless at pinned moments, converts them
// to YUV 4:2:0, and muxes them with the soundtrack, decoded and re-encoded.
//
// Alignment: the stream position counts bytes of the soundtrack as the show
// hears it, decoded whole (the codecs' delay is decoded audio too), 88,200 per second
// = 22,050 stereo 16-bit sample frames per second. Frame i is the moment t =
// from + i / fps; the audio track starts at the decoded sample of `from` with
// the first frame, so the sound of position p plays while the frame drawn at p
// is shown. The AAC encoder's priming is hidden by the container's edit list.
#include "tools/trailer_tool/video_export.h"

#include "tools/trailer_tool/show_moment.h"

#include "platform/win_files.h"
#include "show/timeline.h"
#include "tools/kit/headless_gl.h"
#include "tools/kit/show_seam.h"
#include "tools/soundgen/mp3_decode.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/opt.h>
#include <libswscale/swscale.h>
}

#include <GL/gl.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

constexpr double kBytesPerSecond = 88200.0;  // stream position
constexpr const char* kSoundtrack = "TrailerLOW.mp3";

static volatile std::sig_atomic_t Interrupted = 0;
static void OnInterrupt(int) { Interrupted = 1; }

uint32_t VideoFramePosition(const VideoOptions& options, long i) {
  const double t = options.from + double(i) / options.fps;
  // A hair of slack: i / fps x 88,200 is a whole number for common rates.
  return uint32_t(std::min(std::floor(t * kBytesPerSecond + 1e-6), 4294967295.0));
}

double VideoFrameClock(const VideoOptions& options, long i) { return (options.from + double(i) / options.fps) * 1000; }

// ---------------------------------------------------------------------------
// The file under its temporary name

struct Output {
  std::string finalPath, tempPath;
  AVFormatContext* format = nullptr;
  AVCodecContext* video = nullptr;
  AVCodecContext* audio = nullptr;
  AVStream* videoStream = nullptr;
  AVStream* audioStream = nullptr;
  AVFrame* picture = nullptr;      // YUV 4:2:0
  AVFrame* sound = nullptr;        // planar float, one encoder frame
  AVPacket* packet = nullptr;
  SwsContext* scaler = nullptr;
  bool headerWritten = false;
};

// Frees everything; false when the file's last bytes could not be written
// (its close failed: a full disk, a quota, a network file system), in
// *closeError.
static bool Close(Output* o, int* closeError) {
  *closeError = 0;
  if (o->format && o->format->pb) *closeError = avio_closep(&o->format->pb);
  avformat_free_context(o->format);
  avcodec_free_context(&o->video);
  avcodec_free_context(&o->audio);
  av_frame_free(&o->picture);
  av_frame_free(&o->sound);
  av_packet_free(&o->packet);
  sws_freeContext(o->scaler);
  o->format = nullptr, o->scaler = nullptr;
  return *closeError >= 0;
}

static std::string AvError(int code) {
  char text[AV_ERROR_MAX_STRING_SIZE] = {};
  av_strerror(code, text, sizeof text);
  return text;
}

// Makes the temporary file beside the output: proves the folder can be
// written before any frame is rendered. An existing OUT must be a file the
// video can replace.
static bool MakeTempFile(Output* o) {
  const std::string& out = o->finalPath;
  struct stat info;
  if (stat(out.c_str(), &info) == 0 && !S_ISREG(info.st_mode)) {
    std::fprintf(stderr, "velmora-trailer-tool: %s is %s, not a file to write the video to\n", out.c_str(),
                 S_ISDIR(info.st_mode) ? "a folder" : "not a regular file");
    return false;
  }
  const size_t slash = out.rfind('/');
  const std::string folder = slash == std::string::npos ? "." : (slash == 0 ? "/" : out.substr(0, slash));
  const std::string base = slash == std::string::npos ? out : out.substr(slash + 1);
  if (base.empty()) {
    std::fprintf(stderr, "velmora-trailer-tool: %s names a folder, not a file\n", out.c_str());
    return false;
  }
  std::string pattern = (slash == std::string::npos ? std::string() : out.substr(0, slash + 1)) + "." + base +
                        ".part-XXXXXX";
  std::vector<char> name(pattern.begin(), pattern.end());
  name.push_back('\0');
  const int fd = mkstemp(name.data());
  if (fd < 0) {
    std::fprintf(stderr, "velmora-trailer-tool: cannot write in the folder %s: %s\n", folder.c_str(),
                 std::strerror(errno));
    return false;
  }
  // mkstemp makes it private; the video gets the mode any new file gets.
  const mode_t mask = umask(0);
  umask(mask);
  fchmod(fd, 0666 & ~mask);
  close(fd);
  o->tempPath = name.data();
  return true;
}

// Sends one frame (nullptr: flush) to `codec` and writes what comes out.
static bool Encode(Output* o, AVCodecContext* codec, AVStream* stream, AVFrame* frame) {
  int result = avcodec_send_frame(codec, frame);
  if (result < 0) {
    std::fprintf(stderr, "velmora-trailer-tool: encoding failed: %s\n", AvError(result).c_str());
    return false;
  }
  while ((result = avcodec_receive_packet(codec, o->packet)) >= 0) {
    av_packet_rescale_ts(o->packet, codec->time_base, stream->time_base);
    o->packet->stream_index = stream->index;
    result = av_interleaved_write_frame(o->format, o->packet);
    if (result < 0) {
      std::fprintf(stderr, "velmora-trailer-tool: writing %s failed: %s\n", o->tempPath.c_str(),
                   AvError(result).c_str());
      return false;
    }
  }
  return result == AVERROR(EAGAIN) || result == AVERROR_EOF;
}

// H.264 through libx264 where FFmpeg has it, else MPEG-4 Part 2, said aloud.
static const AVCodec* VideoEncoder() {
  if (const AVCodec* x264 = avcodec_find_encoder_by_name("libx264")) return x264;
  const AVCodec* mpeg4 = avcodec_find_encoder(AV_CODEC_ID_MPEG4);
  if (mpeg4)
    std::fprintf(stderr,
                 "velmora-trailer-tool: this FFmpeg has no H.264 encoder (libx264); writing MPEG-4 Part 2 video "
                 "instead\n");
  else
    std::fprintf(stderr,
                 "velmora-trailer-tool: this FFmpeg has neither an H.264 (libx264) nor an MPEG-4 video encoder\n");
  return mpeg4;
}

static bool OpenVideo(Output* o, const VideoOptions& options) {
  const AVCodec* codec = VideoEncoder();
  if (!codec) return false;
  o->videoStream = avformat_new_stream(o->format, nullptr);
  o->video = avcodec_alloc_context3(codec);
  if (!o->videoStream || !o->video) return false;
  AVCodecContext* c = o->video;
  c->width = options.width;
  c->height = options.height;
  c->time_base = AVRational{1, options.fps};
  c->framerate = AVRational{options.fps, 1};
  c->pix_fmt = AV_PIX_FMT_YUV420P;
  c->gop_size = options.fps * 2;  // a key frame every two seconds, for seeking
  c->color_range = AVCOL_RANGE_MPEG;
  c->colorspace = AVCOL_SPC_SMPTE170M;  // what swscale's default conversion produces
  c->color_primaries = AVCOL_PRI_SMPTE170M;
  c->color_trc = AVCOL_TRC_SMPTE170M;
  if (o->format->oformat->flags & AVFMT_GLOBALHEADER) c->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
  AVDictionary* settings = nullptr;
  if (codec->id == AV_CODEC_ID_H264) {
    // The encoder shares two cores with the renderer: superfast costs about
    // 4.5 ms of CPU a 640 x 480 frame of the castle (veryfast 6.9, ultrafast
    // 1.9 with files twice the size); CRF 18 keeps flashes and fades clean.
    av_dict_set(&settings, "preset", "superfast", 0);
    av_dict_set(&settings, "crf", "18", 0);
  } else {
    c->bit_rate = int64_t(options.width) * options.height * options.fps / 4;
  }
  const int result = avcodec_open2(c, codec, &settings);
  av_dict_free(&settings);
  if (result < 0) {
    std::fprintf(stderr, "velmora-trailer-tool: cannot open the %s encoder: %s\n", codec->name,
                 AvError(result).c_str());
    return false;
  }
  avcodec_parameters_from_context(o->videoStream->codecpar, c);
  o->videoStream->time_base = c->time_base;
  o->videoStream->avg_frame_rate = c->framerate;

  o->picture = av_frame_alloc();
  if (!o->picture) return false;
  o->picture->format = c->pix_fmt;
  o->picture->width = c->width;
  o->picture->height = c->height;
  if (av_frame_get_buffer(o->picture, 0) < 0) return false;
  o->scaler = sws_getContext(c->width, c->height, AV_PIX_FMT_BGRA, c->width, c->height, c->pix_fmt, SWS_BILINEAR,
                             nullptr, nullptr, nullptr);
  return o->scaler != nullptr;
}

static bool OpenAudio(Output* o, long rate, int channels) {
  const AVCodec* codec = avcodec_find_encoder(AV_CODEC_ID_AAC);
  if (!codec) {
    std::fprintf(stderr, "velmora-trailer-tool: this FFmpeg has no AAC encoder\n");
    return false;
  }
  o->audioStream = avformat_new_stream(o->format, nullptr);
  o->audio = avcodec_alloc_context3(codec);
  if (!o->audioStream || !o->audio) return false;
  AVCodecContext* c = o->audio;
  c->sample_fmt = AV_SAMPLE_FMT_FLTP;  // the native encoder's only format
  c->sample_rate = int(rate);
  av_channel_layout_default(&c->ch_layout, channels);
  c->bit_rate = 64000 * channels;
  c->time_base = AVRational{1, int(rate)};
  if (o->format->oformat->flags & AVFMT_GLOBALHEADER) c->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
  const int result = avcodec_open2(c, codec, nullptr);
  if (result < 0) {
    std::fprintf(stderr, "velmora-trailer-tool: cannot open the AAC encoder: %s\n", AvError(result).c_str());
    return false;
  }
  avcodec_parameters_from_context(o->audioStream->codecpar, c);
  o->audioStream->time_base = c->time_base;

  o->sound = av_frame_alloc();
  if (!o->sound) return false;
  o->sound->format = c->sample_fmt;
  o->sound->sample_rate = c->sample_rate;
  o->sound->nb_samples = c->frame_size > 0 ? c->frame_size : 1024;
  av_channel_layout_copy(&o->sound->ch_layout, &c->ch_layout);
  return av_frame_get_buffer(o->sound, 0) >= 0;
}

// The soundtrack from sample frame `first` on, handed to the encoder in its
// own frame size as the video advances, so that the file interleaves them.
struct Sound {
  const std::vector<int16_t>* pcm;
  int channels;
  int64_t first;     // sample frame of the file at the video's start
  int64_t sent = 0;  // sample frames encoded so far
};

// Encodes up to `until` sample frames from the start: whole encoder frames
// only, unless `last` (then the rest too, and the encoder is drained).
// Silence past the end of the decoded file, as the show's position counts on.
static bool EncodeSoundUntil(Output* o, Sound* sound, int64_t until, bool last) {
  const int frameSize = o->audio->frame_size > 0 ? o->audio->frame_size : 1024;
  const int64_t available = int64_t(sound->pcm->size()) / sound->channels;
  while (until - sound->sent >= frameSize || (last && until > sound->sent)) {
    if (av_frame_make_writable(o->sound) < 0) return false;
    const int n = int(std::min<int64_t>(frameSize, until - sound->sent));
    o->sound->nb_samples = n;
    for (int ch = 0; ch < sound->channels; ++ch) {
      float* plane = reinterpret_cast<float*>(o->sound->data[ch]);
      for (int s = 0; s < n; ++s) {
        const int64_t at = sound->first + sound->sent + s;
        plane[s] = at >= 0 && at < available ? float((*sound->pcm)[size_t(at * sound->channels + ch)]) / 32768.0f
                                             : 0.0f;
      }
    }
    o->sound->pts = sound->sent;
    if (!Encode(o, o->audio, o->audioStream, o->sound)) return false;
    sound->sent += n;
  }
  return !last || Encode(o, o->audio, o->audioStream, nullptr);
}

// ---------------------------------------------------------------------------
// Progress, on stderr

struct Progress {
  bool enabled, terminal;
  long total;
  int lastTenth = 0;
  std::chrono::steady_clock::time_point start = std::chrono::steady_clock::now();
  std::chrono::steady_clock::time_point lastDraw{};
};

static void ShowProgress(Progress* p, long done) {
  if (!p->enabled || p->total <= 0) return;
  const auto now = std::chrono::steady_clock::now();
  const double elapsed = std::chrono::duration<double>(now - p->start).count();
  const double fps = elapsed > 0 ? double(done) / elapsed : 0;
  const int percent = int(100 * done / p->total);
  if (p->terminal) {
    if (done < p->total && now - p->lastDraw < std::chrono::milliseconds(200)) return;
    p->lastDraw = now;
    const int width = 30, filled = int(int64_t(width) * done / p->total);
    const long left = fps > 0 ? long(double(p->total - done) / fps + 0.5) : 0;
    std::fprintf(stderr, "\r[%.*s%.*s] %ld/%ld frames %3d%% %6.1f fps %ld:%02ld left ", filled,
                 "##############################", width - filled, "..............................", done,
                 p->total, percent, fps, left / 60, left % 60);
    if (done == p->total) std::fputc('\n', stderr);
  } else {
    while (p->lastTenth < 10 && percent >= (p->lastTenth + 1) * 10) {
      ++p->lastTenth;
      std::fprintf(stderr, "velmora-trailer-tool: %d%% (%ld of %ld frames, %.1f fps)\n", p->lastTenth * 10, done,
                   p->total, fps);
    }
  }
}

// ---------------------------------------------------------------------------

static bool ExportInto(Output* o, const VideoOptions& options, VideoReport* report) {
  // The soundtrack as the show hears it.
  std::string soundtrack;
  std::vector<int16_t> pcm;
  long rate = 0;
  int channels = 0;
  if (!ResolveShowFile(kSoundtrack, &soundtrack) || !DecodeMp3(soundtrack.c_str(), &pcm, &rate, &channels) ||
      rate <= 0 || channels <= 0) {
    std::fprintf(stderr, "velmora-trailer-tool: cannot decode the soundtrack %s\n", kSoundtrack);
    return false;
  }

  // Frames up to `to` and while the show still draws (it ends at kShowEnd).
  const double end = options.to >= 0 ? options.to : double(kShowEnd) / kBytesPerSecond;
  long frames = 0;
  while (frames < LONG_MAX / 2 && VideoFrameClock(options, frames) < end * 1000 - 1e-6 &&
         VideoFramePosition(options, frames) < kShowEnd)
    ++frames;
  if (frames == 0) {
    std::fprintf(stderr, "velmora-trailer-tool: no frame between %.3f s and %.3f s of the show\n", options.from, end);
    return false;
  }

  if (!StartHeadlessShow(options.width, options.height, options.samples)) return false;

  const AVOutputFormat* container = av_guess_format(nullptr, o->finalPath.c_str(), nullptr);
  if (!container) container = av_guess_format("mp4", nullptr, nullptr);
  if (avformat_alloc_output_context2(&o->format, container, nullptr, o->tempPath.c_str()) < 0 || !o->format) {
    std::fprintf(stderr, "velmora-trailer-tool: cannot set up the %s container\n", container ? container->name : "mp4");
    return false;
  }
  o->packet = av_packet_alloc();
  if (!o->packet || !OpenVideo(o, options) || !OpenAudio(o, rate, channels)) return false;
  int result = avio_open(&o->format->pb, o->tempPath.c_str(), AVIO_FLAG_WRITE);
  if (result < 0) {
    std::fprintf(stderr, "velmora-trailer-tool: cannot write %s: %s\n", o->tempPath.c_str(), AvError(result).c_str());
    return false;
  }
  AVDictionary* muxing = nullptr;
  av_dict_set(&muxing, "movflags", "+faststart", 0);  // the index first: plays while it downloads
  result = avformat_write_header(o->format, &muxing);
  av_dict_free(&muxing);
  if (result < 0) {
    std::fprintf(stderr, "velmora-trailer-tool: cannot start %s: %s\n", o->tempPath.c_str(), AvError(result).c_str());
    return false;
  }
  o->headerWritten = true;

  Sound sound{&pcm, channels, int64_t(std::llround(options.from * double(rate)))};
  // Sample frames of the sound from the start to the end of video frame i.
  auto soundUntil = [&](long i) { return int64_t(std::llround(double(i + 1) * double(rate) / options.fps)); };

  Progress progress{options.progress, isatty(STDERR_FILENO) == 1, frames};
  const auto started = std::chrono::steady_clock::now();
  // Frame i is read into one buffer while frame i - 1, in the other, is
  // converted and encoded: that work overlaps the rasteriser's threads
  // drawing frame i.
  std::vector<unsigned char> bgra[2];
  for (auto& buffer : bgra) buffer.resize(size_t(options.width) * options.height * 4);
  auto encodeFrame = [&](long i) {
    // OpenGL's rows run bottom up: start at the last and step back.
    const int stride = options.width * 4;
    const uint8_t* top[1] = {bgra[i % 2].data() + size_t(options.height - 1) * size_t(stride)};
    const int strides[1] = {-stride};
    if (av_frame_make_writable(o->picture) < 0) return false;
    sws_scale(o->scaler, top, strides, 0, options.height, o->picture->data, o->picture->linesize);
    o->picture->pts = i;
    if (!Encode(o, o->video, o->videoStream, o->picture)) return false;
    if (!EncodeSoundUntil(o, &sound, soundUntil(i), false)) return false;
    ShowProgress(&progress, i + 1);
    return true;
  };

  // The first moment is drawn once before it is recorded, so that frame 0
  // too starts from the state a frame of the show leaves (the current colour).
  // Every frame lies before the show's end: ShowFrame clears it itself.
  SeamPinMoment(VideoFramePosition(options, 0), VideoFrameClock(options, 0));
  ShowFrame();
  for (long i = 0; i < frames; ++i) {
    if (Interrupted) {
      std::fprintf(stderr, "\ntrailer-tool: interrupted; %s not written\n", o->finalPath.c_str());
      return false;
    }
    SeamPinMoment(VideoFramePosition(options, i), VideoFrameClock(options, i));
    ShowFrame();
    glFlush();  // the rasteriser starts on frame i
    if (i > 0 && !encodeFrame(i - 1)) return false;
    HeadlessGLReadBGRA(bgra[i % 2].data());
  }
  if (!encodeFrame(frames - 1)) return false;
  SeamReleaseStreamPosition();
  SeamReleaseCounter();
  if (!Encode(o, o->video, o->videoStream, nullptr)) return false;
  if (!EncodeSoundUntil(o, &sound, soundUntil(frames - 1), true)) return false;
  if (Interrupted) return false;

  result = av_write_trailer(o->format);  // with faststart: the index moved to the front
  if (result < 0) {
    std::fprintf(stderr, "velmora-trailer-tool: cannot finish %s: %s\n", o->tempPath.c_str(), AvError(result).c_str());
    return false;
  }
  report->frames = frames;
  report->mediaSeconds = double(frames) / options.fps;
  report->wallSeconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
  return true;
}

bool ExportVideo(const VideoOptions& options, VideoReport* report) {
  *report = {};
  Output o;
  o.finalPath = options.out ? options.out : "";
  if (o.finalPath.empty()) return false;

  // From here on an interrupt only raises the flag: the loop stops at the
  // next frame and the temporary file goes.
  Interrupted = 0;
  struct sigaction action = {}, oldInt = {}, oldTerm = {};
  action.sa_handler = OnInterrupt;
  sigemptyset(&action.sa_mask);
  sigaction(SIGINT, &action, &oldInt);
  sigaction(SIGTERM, &action, &oldTerm);
  av_log_set_level(AV_LOG_ERROR);

  bool ok = MakeTempFile(&o) && ExportInto(&o, options, report);
  int closeError = 0;
  if (!Close(&o, &closeError) && ok) {
    std::fprintf(stderr, "velmora-trailer-tool: cannot finish writing %s: %s; %s not written\n", o.tempPath.c_str(),
                 AvError(closeError).c_str(), o.finalPath.c_str());
    ok = false;
  }
  if (ok && std::rename(o.tempPath.c_str(), o.finalPath.c_str()) != 0) {
    std::fprintf(stderr, "velmora-trailer-tool: cannot rename %s to %s: %s\n", o.tempPath.c_str(), o.finalPath.c_str(),
                 std::strerror(errno));
    ok = false;
  }
  if (!ok && !o.tempPath.empty()) unlink(o.tempPath.c_str());
  sigaction(SIGINT, &oldInt, nullptr);
  sigaction(SIGTERM, &oldTerm, nullptr);
  return ok;
}
