// The sound output in a browser: Web Audio, in the AudioContext the page
// made when the viewer started the show (sound needs a gesture). A script
// processor pulls the deck's sound buffer by buffer; after each pull the
// output reports when the buffer's first frame will be heard, from the
// context's output timestamp (the device's own position against
// performance.now(), its latency included) or, where a browser has none,
// from its current time and output latency. That is the same clock the
// show's monotonic time runs on in a page, so the reports feed the position
// estimate as a sound server's do: a suspended or stalled context is a
// stalled server.
//
// Threads: a page has one. The processor's event runs between two steps of
// the show (the show yields at every frame and every wait), so the lock has
// nothing to do.
#include "platform/audio_output.h"

#include <emscripten.h>

#include <vector>

static const int kBufferFrames = 4096;  // per event: 93 ms at 44.1 kHz, room for a slow frame

static struct {
  const AudioOutputCallbacks* callbacks = nullptr;
  std::vector<int16_t> buffer;  // the frames of one event, interleaved stereo
  int64_t pulled = 0;           // output frames pulled since open
} Web;

static const AudioOutput* ChosenOutput = nullptr;  // nullptr: Web Audio

// The processor's event: the deck's next frames, for the page to play.
extern "C" EMSCRIPTEN_KEEPALIVE int16_t* velmora_audio_pull(int frames) {
  if (frames < 0 || frames > kBufferFrames) frames = 0;
  Web.callbacks->pull(Web.buffer.data(), frames);
  return Web.buffer.data();
}

// ... and when its first frame reaches the ear, in performance.now()
// milliseconds.
extern "C" EMSCRIPTEN_KEEPALIVE void velmora_audio_heard(double heardAtMillis, int frames) {
  const int64_t first = Web.pulled;
  Web.pulled += frames;
  Web.callbacks->heard(first, int64_t(heardAtMillis * 1e6), Web.pulled);
}

// clang-format off
EM_JS(int, velmora_audio_open, (int rate, int bufferFrames), {
  var context = Module.audioContext;
  if (!context || context.sampleRate !== rate) return 0;
  var node = context.createScriptProcessor(bufferFrames, 0, 2);
  node.onaudioprocess = function(event) {
    var left = event.outputBuffer.getChannelData(0), right = event.outputBuffer.getChannelData(1);
    var n = left.length;
    var at = Module._velmora_audio_pull(n) >> 1;
    var pcm = Module.HEAP16;
    for (var i = 0; i < n; ++i) {
      left[i] = pcm[at + 2 * i] / 32768;
      right[i] = pcm[at + 2 * i + 1] / 32768;
    }
    var heard;
    var stamp = context.getOutputTimestamp ? context.getOutputTimestamp() : null;
    if (stamp && stamp.contextTime > 0) {
      heard = stamp.performanceTime + (event.playbackTime - stamp.contextTime) * 1000;
    } else {
      heard = performance.now() +
              (event.playbackTime - context.currentTime + (context.outputLatency || context.baseLatency || 0)) * 1000;
    }
    Module._velmora_audio_heard(heard, n);
  };
  Module.audioNode = node;
  return 1;
});
// Stopped, the context is suspended rather than the processor disconnected:
// what it had pulled and not yet played waits, and plays first when it runs.
EM_JS(void, velmora_audio_run, (int on), {
  var node = Module.audioNode, context = Module.audioContext;
  if (!node) return;
  if (on) {
    if (!node.connected) node.connect(context.destination);
    node.connected = true;
    if (context.state === 'suspended') context.resume();
  } else {
    context.suspend();
  }
});
EM_JS(void, velmora_audio_close, (), {
  if (!Module.audioNode) return;
  Module.audioNode.disconnect();
  Module.audioNode.onaudioprocess = null;
  Module.audioNode = null;
});
// clang-format on

static int Open(int rate, const AudioOutputCallbacks* callbacks, bool* clockPaced) {
  *clockPaced = false;
  Web.callbacks = callbacks;
  Web.buffer.assign(size_t(kBufferFrames) * 2, 0);
  Web.pulled = 0;
  return velmora_audio_open(rate, kBufferFrames) ? 0 : 3;  // 3: no driver
}

static void Run(bool on) { velmora_audio_run(on ? 1 : 0); }
static void Close() { velmora_audio_close(); }
static void Lock() {}
static void Unlock() {}

static const AudioOutput kWebOutput = {"webaudio", Open, Run, Close, Lock, Unlock, AudioMonotonicNanos, nullptr};

void AudioUseOutput(const AudioOutput* output) { ChosenOutput = output; }

const AudioOutput* AudioOpenOutput(int rate, const AudioOutputCallbacks* callbacks, bool* clockPaced, int* code) {
  const AudioOutput* output = ChosenOutput ? ChosenOutput : &kWebOutput;
  *code = output->open(rate, callbacks, clockPaced);
  return *code == 0 ? output : nullptr;
}
