#include "tools/installed_tool/video_encoder.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/opt.h>
#include <libswscale/swscale.h>
}

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

// The sound track from sample frame `first` of the PCM on, handed to the
// encoder in its own frame size as the pictures advance, so that the file
// interleaves them.
struct Sound {
  const std::vector<int16_t>* pcm = nullptr;
  int channels = 0;
  int64_t first = 0;  // sample frame of the PCM at the video's start
  int64_t sent = 0;   // sample frames encoded so far
};

struct VideoFile {
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
  Sound track;
  int width = 0, height = 0;       // pixels
};
using Output = VideoFile;

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

static bool OpenVideo(Output* o, int width, int height, int fps) {
  const AVCodec* codec = VideoEncoder();
  if (!codec) return false;
  o->videoStream = avformat_new_stream(o->format, nullptr);
  o->video = avcodec_alloc_context3(codec);
  if (!o->videoStream || !o->video) return false;
  AVCodecContext* c = o->video;
  c->width = width;
  c->height = height;
  c->time_base = AVRational{1, fps};
  c->framerate = AVRational{fps, 1};
  c->pix_fmt = AV_PIX_FMT_YUV420P;
  c->gop_size = fps * 2;  // a key frame every two seconds, for seeking
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
    c->bit_rate = int64_t(width) * height * fps / 4;
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

// Encodes up to `until` sample frames from the start: whole encoder frames
// only, unless `last` (then the rest too, and the encoder is drained).
// Silence past the end of the decoded file, as the show's position counts on.
static bool EncodeSoundUntil(Output* o, int64_t until, bool last) {
  Sound* sound = &o->track;
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


VideoFile* VideoFileCreate(const char* path) {
  av_log_set_level(AV_LOG_ERROR);
  VideoFile* file = new VideoFile;
  file->finalPath = path ? path : "";
  if (!file->finalPath.empty() && MakeTempFile(file)) return file;
  delete file;
  return nullptr;
}

bool VideoFileStart(VideoFile* o, const VideoFileFormat& format, const std::vector<int16_t>* pcm,
                    int64_t firstFrame) {
  const AVOutputFormat* container = av_guess_format(nullptr, o->finalPath.c_str(), nullptr);
  if (!container) container = av_guess_format("mp4", nullptr, nullptr);
  if (avformat_alloc_output_context2(&o->format, container, nullptr, o->tempPath.c_str()) < 0 || !o->format) {
    std::fprintf(stderr, "velmora-trailer-tool: cannot set up the %s container\n", container ? container->name : "mp4");
    return false;
  }
  o->width = format.width;
  o->height = format.height;
  o->track = Sound{pcm, format.soundChannels, firstFrame, 0};
  o->packet = av_packet_alloc();
  if (!o->packet || !OpenVideo(o, format.width, format.height, format.fps) ||
      !OpenAudio(o, format.soundRate, format.soundChannels))
    return false;
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
  return true;
}

bool VideoFileAddPicture(VideoFile* o, const unsigned char* bgra, long index, int64_t soundUntil) {
  // OpenGL's rows run bottom up: start at the last and step back.
  const int stride = o->width * 4;
  const uint8_t* top[1] = {bgra + size_t(o->height - 1) * size_t(stride)};
  const int strides[1] = {-stride};
  if (av_frame_make_writable(o->picture) < 0) return false;
  sws_scale(o->scaler, top, strides, 0, o->height, o->picture->data, o->picture->linesize);
  o->picture->pts = index;
  return Encode(o, o->video, o->videoStream, o->picture) && EncodeSoundUntil(o, soundUntil, false);
}

bool VideoFileFinish(VideoFile* o, int64_t soundUntil) {
  if (!Encode(o, o->video, o->videoStream, nullptr) || !EncodeSoundUntil(o, soundUntil, true)) return false;
  const int result = av_write_trailer(o->format);  // with faststart: the index moved to the front
  if (result < 0) {
    std::fprintf(stderr, "velmora-trailer-tool: cannot finish %s: %s\n", o->tempPath.c_str(), AvError(result).c_str());
    return false;
  }
  return true;
}

bool VideoFileClose(VideoFile* o, bool keep) {
  int closeError = 0;
  bool ok = keep;
  if (!Close(o, &closeError) && ok) {
    std::fprintf(stderr, "velmora-trailer-tool: cannot finish writing %s: %s; %s not written\n", o->tempPath.c_str(),
                 AvError(closeError).c_str(), o->finalPath.c_str());
    ok = false;
  }
  if (ok && std::rename(o->tempPath.c_str(), o->finalPath.c_str()) != 0) {
    std::fprintf(stderr, "velmora-trailer-tool: cannot rename %s to %s: %s\n", o->tempPath.c_str(),
                 o->finalPath.c_str(), std::strerror(errno));
    ok = false;
  }
  if (!ok) unlink(o->tempPath.c_str());
  delete o;
  return ok;
}
