// Writing a video file with FFmpeg's libraries: H.264 (else MPEG-4 Part 2)
// and AAC, in the container the file name's extension picks (MP4 otherwise,
// index first). The file is written under a temporary name beside the final
// one and appears under its name only when complete. Main thread only.
#pragma once

#include <cstdint>
#include <vector>

struct VideoFile;

struct VideoFileFormat {
  int width, height;  // pixels, even
  int fps;            // pictures per second
  int soundRate;      // sample frames per second of the sound track
  int soundChannels;  // interleaved in the PCM handed over
};

// Makes the temporary file beside `path` (proving the folder can be written
// before any frame is rendered); an existing `path` must be a file the video
// can replace. nullptr after a message on stderr.
VideoFile* VideoFileCreate(const char* path);

// Opens the encoders and writes the container's header. The sound track is
// cut from `pcm` (interleaved 16-bit, kept by the caller until the file is
// closed) from sample frame `firstFrame` on, silence beyond its end. False
// after a message.
bool VideoFileStart(VideoFile* file, const VideoFileFormat& format, const std::vector<int16_t>* pcm,
                    int64_t firstFrame);

// Adds picture `index` (B, G, R, A rows, bottom row first, as OpenGL reads
// them), then the sound up to sample frame `soundUntil` of the track.
bool VideoFileAddPicture(VideoFile* file, const unsigned char* bgra, long index, int64_t soundUntil);

// Drains the encoders with the sound up to `soundUntil`, and writes the index.
bool VideoFileFinish(VideoFile* file, int64_t soundUntil);

// Frees everything. With `keep` the finished file takes its name; otherwise,
// or when its last bytes could not be written or it could not be renamed
// (false, after a message), the temporary file goes.
bool VideoFileClose(VideoFile* file, bool keep);
