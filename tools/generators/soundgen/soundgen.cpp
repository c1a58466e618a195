// soundgen: synthesizes the show's default soundtrack and writes it as
// "TrailerLOW.mp3" (22,050 Hz, 16-bit stereo, 135 s, CBR MP3 without a LAME
// tag). The marks count from the first sample the decoder puts out, the
// codecs' delay included, so the piece is written that much early: decoded
// whole, every accent lands on its mark. With no tag, a gapless decoder has
// nothing to cut and hears it the same.
//
//   soundgen OUTPUT.mp3
//
// The piece is a 124 bpm track in A minor: a pad-and-lead intro that builds
// into a groove with drums and bass, a half-time passage under the lyrics, a
// heavy Andalusian-cadence section with a breakdown, a driving stretch with a
// tom fill, a reprise, and a final A major chord under the closing lines.
// Every scene change and flash of the show lands on an accent: the beat grid
// bends (within a few percent of 124 bpm) so that the big marks fall on beats,
// and the marks between beats get hits of their own with nothing else struck
// around them. Everything is computed in a fixed order from fixed seeds, so
// the output is the same bytes on every run.
#include "show/score.h"
#include "tools/generators/soundgen/mp3_encode.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

// ---------------------------------------------------------------------------
// Definitions
// ---------------------------------------------------------------------------
static const int kRate = 22050;                    // Hz
static constexpr double kLength = 135.0;              // seconds
static const int kFrames = int(kLength * kRate);   // 2,976,750
static const int kBitRate = 128;                   // kbit/s, CBR
static const double kBytesPerSecond = kStreamBytesPerSecond;
static const double kPi = 3.14159265358979323846;

enum AccentKind {
  kSceneCut,  // crash, kick, low boom and a chord stab
  kFlash,     // crash and kick
  kPoseStab,  // short noise burst, kick and a chord stab
  kFillHit,   // tom and snare burst
  kGrace,     // soft snare burst: the grace note of a flam
  kFinal,     // crash, boom and the final chord
};

struct Mark {
  uint32_t bytes;   // stream position: one of the score's accents
  int beat;         // >= 0: this mark is that beat of the grid; -1: between beats
  AccentKind kind;
};

// A hit on every accent of the score (show/score.h) but its end. The
// anchored beats were chosen at 124 bpm and rounded, so the grid's tempo
// stays between 120 and 128 bpm.
static const Mark kMarks[] = {
    {kTitleStart, 0, kSceneCut},           {kTitleRide, 62, kFlash},
    {kTitleMirroredRide, 89, kFlash},      {kTitlePair, 110, kFlash},
    {kTitleFaces, 116, kFlash},            {kHandStart, 122, kSceneCut},
    {kHandPose1, -1, kPoseStab},           {kHandPose2, -1, kPoseStab},
    {kHandPose3, -1, kPoseStab},           {kHandPose0, -1, kPoseStab},
    {kHandFlash, -1, kPoseStab},           {kHandPose1Again, -1, kPoseStab},
    {kHandPose2Again, -1, kPoseStab},      {kHandPose3Again, -1, kPoseStab},
    {kHandPose0Again, -1, kPoseStab},      {kCastleStart, 145, kSceneCut},
    {kCastleFogLifts, 157, kFlash},        {kCastleFogReturns, 169, kFlash},
    {kFlightStart, 192, kSceneCut},        {kFlightOntoThePath, 204, kFlash},
    {kFlightBeats[0], -1, kFillHit},       {kFlightBeats[1], -1, kFillHit},
    {kFlightBeats[2], -1, kFillHit},       {kFlightBeats[3], -1, kFillHit},
    {kFlightBeats[4], -1, kFillHit},       {kCreditsCutFlash, -1, kGrace},
    {kCreditsStart, 216, kSceneCut},       {kCreditsBeat, 242, kFlash},
    {kClosingStart, 268, kFinal},
};
static_assert(sizeof kMarks / sizeof kMarks[0] + 1 == kScoreMarkCount, "a hit for every accent of the score");
static const int kMarkCount = int(sizeof kMarks / sizeof kMarks[0]);

enum Style { kIntro, kGroove, kGrooveLead, kBuild, kBuildHigh, kHalfTime, kHeavy, kBreakdown, kHeavyLead,
             kDrive, kDriveFill, kReprise, kOutro, kCoda };

struct Section {
  int fromBeat;
  Style style;
  int progression;  // index into kProgressions
};

static const Section kSections[] = {
    {0, kIntro, 0},       {62, kGroove, 0},      {89, kGrooveLead, 0}, {110, kBuild, 0},
    {116, kBuildHigh, 0}, {122, kHalfTime, 1},   {145, kHeavy, 2},     {157, kBreakdown, 2},
    {169, kHeavyLead, 2}, {192, kDrive, 3},      {204, kDriveFill, 3}, {216, kReprise, 4},
    {242, kOutro, 4},     {268, kCoda, 5},
};
static const int kSectionCount = int(sizeof kSections / sizeof kSections[0]);
static const int kLastBeat = 268;

// Chords, one per bar: root (MIDI, bass octave) and whether the third is minor.
struct Chord {
  int root;
  bool minor;
};
static const Chord kProgressions[][4] = {
    {{45, true}, {41, false}, {48, false}, {43, false}},   // Am F C G
    {{41, false}, {43, false}, {45, true}, {45, true}},    // F G Am Am
    {{45, true}, {43, false}, {41, false}, {40, false}},   // Am G F E
    {{45, true}, {41, false}, {43, false}, {40, false}},   // Am F G E
    {{41, false}, {48, false}, {43, false}, {45, true}},   // F C G Am
    {{45, false}, {45, false}, {45, false}, {45, false}},  // A major: the end
};

// Lead phrases: (beat in phrase, length in beats, MIDI note); 8 bars each.
struct Note {
  double beat, length;
  int midi;
};
static const Note kMainTheme[] = {
    {0, 1, 69},    {1, 1, 72},    {2, 1.5, 76},  {3.5, 0.5, 74}, {4, 2, 72},   {6, 1, 69},    {7, 1, 72},
    {8, 1, 67},    {9, 1, 72},    {10, 1, 76},   {11, 1, 79},   {12, 3, 74},  {15, 1, 71},   {16, 1, 76},
    {17, 1, 81},   {18, 1, 79},   {19, 1, 76},   {20, 1.5, 77}, {21.5, 0.5, 76}, {22, 2, 72}, {24, 1, 76},
    {25, 1, 74},   {26, 1, 72},   {27, 1, 67},   {28, 2, 71},   {30, 2, 74},
};
static const Note kCastleTheme[] = {
    {0, 0.5, 69},  {0.5, 0.5, 72}, {1, 1, 76},   {2, 2, 81},    {4, 1, 79},   {5, 0.5, 77},  {5.5, 0.5, 76},
    {6, 2, 74},    {8, 1, 77},     {9, 1, 76},   {10, 1, 74},   {11, 1, 72},  {12, 2, 71},   {14, 2, 68},
};
static const Note kHandLine[] = {
    {0, 2, 72},  {2, 2, 69},  {4, 2, 74},  {6, 2, 71},  {8, 3, 76},  {11, 1, 72}, {12, 4, 76},
    {16, 2, 77}, {18, 2, 76}, {20, 2, 74}, {22, 2, 71}, {24, 3, 72}, {27, 1, 71}, {28, 4, 69},
};

// ---------------------------------------------------------------------------
// State: the mix, in floating point, left and right
// ---------------------------------------------------------------------------
static struct {
  std::vector<float> left, right;          // dry signal
  std::vector<float> sendLeft, sendRight;  // into the reverb
} Mix;

// ---------------------------------------------------------------------------
// Time
// ---------------------------------------------------------------------------
static double MarkSeconds(const Mark& mark) { return mark.bytes / kBytesPerSecond; }

// Seconds at `beat` of the grid: linear between anchored marks, extended with
// the nearest segment's tempo beyond the first and last.
static double BeatTime(double beat) {
  const Mark* anchors[kMarkCount];
  int count = 0;
  for (const Mark& mark : kMarks)
    if (mark.beat >= 0) anchors[count++] = &mark;
  int segment = 0;
  while (segment < count - 2 && beat >= anchors[segment + 1]->beat) ++segment;
  const Mark& a = *anchors[segment];
  const Mark& b = *anchors[segment + 1];
  const double secondsPerBeat = (MarkSeconds(b) - MarkSeconds(a)) / (b.beat - a.beat);
  return MarkSeconds(a) + (beat - a.beat) * secondsPerBeat;
}

static int FrameAt(double seconds) { return int(std::lround(seconds * kRate)); }

// True when a grid hit at `seconds` would blur an accent: nothing is struck
// from 70 ms before a mark until 30 ms after it.
static bool NearMark(double seconds) {
  for (const Mark& mark : kMarks) {
    const double delta = seconds - MarkSeconds(mark);
    if (delta > -0.070 && delta < 0.030) return true;
  }
  return false;
}

static const Section& SectionAt(double beat) {
  int index = 0;
  while (index + 1 < kSectionCount && beat >= kSections[index + 1].fromBeat) ++index;
  return kSections[index];
}

static Chord ChordAt(double beat) {
  const Section& section = SectionAt(beat);
  const int bar = int(std::floor((beat - section.fromBeat) / 4.0));
  return kProgressions[section.progression][bar % 4];
}

static double MidiHz(double midi) { return 440.0 * std::pow(2.0, (midi - 69.0) / 12.0); }

// ---------------------------------------------------------------------------
// Sources
// ---------------------------------------------------------------------------
struct Noise {
  uint32_t state;
  float Next() {  // white, -1 .. 1
    state ^= state << 13;
    state ^= state >> 17;
    state ^= state << 5;
    return float(int32_t(state)) / 2147483648.0f;
  }
};

// Band-limited wavetables: a saw or square with `harmonics` partials.
struct Wavetable {
  static const int kSize = 2048;
  std::vector<float> samples;
  float At(double phase) const {  // phase in cycles
    const double position = (phase - std::floor(phase)) * kSize;
    const int i = int(position);
    const float fraction = float(position - i);
    return samples[i] + (samples[(i + 1) % kSize] - samples[i]) * fraction;
  }
};

static const Wavetable& Table(bool square, int harmonics) {
  static std::vector<Wavetable> tables[2];
  harmonics = std::clamp(harmonics, 1, 48);
  std::vector<Wavetable>& set = tables[square ? 1 : 0];
  if (set.empty()) set.resize(49);
  Wavetable& table = set[size_t(harmonics)];
  if (table.samples.empty()) {
    table.samples.resize(Wavetable::kSize);
    for (int i = 0; i < Wavetable::kSize; ++i) {
      double sum = 0.0;
      for (int n = 1; n <= harmonics; n += square ? 2 : 1) sum += std::sin(2.0 * kPi * n * i / Wavetable::kSize) / n;
      table.samples[size_t(i)] = float(sum * 0.6);
    }
  }
  return table;
}

// Partials kept below 9 kHz, so nothing folds back.
static int HarmonicsFor(double hz) { return std::max(1, int(9000.0 / hz)); }

static void Add(int frame, float left, float right, float send) {
  if (frame < 0 || frame >= kFrames) return;
  Mix.left[size_t(frame)] += left;
  Mix.right[size_t(frame)] += right;
  Mix.sendLeft[size_t(frame)] += left * send;
  Mix.sendRight[size_t(frame)] += right * send;
}

// ---------------------------------------------------------------------------
// Instruments: each adds one event at a time in seconds
// ---------------------------------------------------------------------------
static void Kick(double at, float gain) {
  const int start = FrameAt(at), length = int(0.40 * kRate);
  double phase = 0.0;
  for (int i = 0; i < length; ++i) {
    const double t = double(i) / kRate;
    phase += (44.0 + 110.0 * std::exp(-t * 28.0)) / kRate;
    float value = float(std::sin(2.0 * kPi * phase) * std::exp(-t * 7.5));
    if (i < 40) value += float(0.5 * (1.0 - i / 40.0) * ((i & 1) ? -1 : 1));  // beater click
    Add(start + i, value * gain, value * gain, 0.0f);
  }
}

// Filtered noise with an exponential decay; `brightness` 0..1 sets the
// high-pass, `pan` -1..1.
static void NoiseBurst(double at, float gain, double decay, double seconds, double brightness, float pan,
                       uint32_t seed, float send) {
  const int start = FrameAt(at), length = int(seconds * kRate);
  Noise left{seed | 1}, right{(seed * 2654435761u) | 1};
  float lowL = 0, lowR = 0;
  const float k = float(1.0 - brightness * 0.9);  // low-pass coefficient of what is taken away
  for (int i = 0; i < length; ++i) {
    const double t = double(i) / kRate;
    const float envelope = float(std::exp(-t * decay)) * gain;
    const float nl = left.Next(), nr = right.Next();
    lowL += (nl - lowL) * k;
    lowR += (nr - lowR) * k;
    const float l = (nl - lowL) * envelope, r = (nr - lowR) * envelope;
    Add(start + i, l * (1.0f - pan * 0.5f), r * (1.0f + pan * 0.5f), send);
  }
}

static void Snare(double at, float gain, uint32_t seed) {
  const int start = FrameAt(at), length = int(0.22 * kRate);
  for (int i = 0; i < length; ++i) {
    const double t = double(i) / kRate;
    const float tone = float(std::sin(2.0 * kPi * 190.0 * t) * std::exp(-t * 25.0) * 0.6);
    Add(start + i, tone * gain, tone * gain, 0.2f);
  }
  NoiseBurst(at, gain * 0.8f, 16.0, 0.22, 0.7, 0.1f, seed, 0.25f);
}

static void Hat(double at, float gain, bool open, uint32_t seed) {
  NoiseBurst(at, gain * 0.45f, open ? 9.0 : 55.0, open ? 0.35 : 0.07, 1.0, 0.35f, seed, 0.05f);
}

static void Crash(double at, float gain, uint32_t seed) {
  NoiseBurst(at, gain * 0.9f, 2.0, 2.6, 0.95, 0.0f, seed, 0.3f);
  // A metallic shimmer of inharmonic partials.
  static const double partials[] = {347.0, 493.0, 621.0, 787.0, 1033.0, 1319.0, 1597.0};
  const int start = FrameAt(at), length = int(2.0 * kRate);
  for (int i = 0; i < length; ++i) {
    const double t = double(i) / kRate;
    double sum = 0.0;
    for (double hz : partials) sum += std::sin(2.0 * kPi * hz * 2.3 * t) > 0 ? 1.0 : -1.0;
    const float value = float(sum / 7.0 * std::exp(-t * 3.0) * 0.12) * gain;
    Add(start + i, value, -value, 0.2f);
  }
}

static void Tom(double at, double hz, float gain, uint32_t seed) {
  const int start = FrameAt(at), length = int(0.45 * kRate);
  double phase = 0.0;
  for (int i = 0; i < length; ++i) {
    const double t = double(i) / kRate;
    phase += hz * (1.0 + 0.6 * std::exp(-t * 20.0)) / kRate;
    const float value = float(std::sin(2.0 * kPi * phase) * std::exp(-t * 7.0)) * gain;
    Add(start + i, value * 0.9f, value, 0.2f);
  }
  NoiseBurst(at, gain * 0.6f, 25.0, 0.12, 0.8, -0.2f, seed, 0.1f);
}

static void Boom(double at, float gain) {
  const int start = FrameAt(at), length = int(1.6 * kRate);
  double phase = 0.0;
  for (int i = 0; i < length; ++i) {
    const double t = double(i) / kRate;
    phase += (36.0 + 40.0 * std::exp(-t * 6.0)) / kRate;
    const float value = float(std::sin(2.0 * kPi * phase) * std::exp(-t * 2.4)) * gain;
    Add(start + i, value, value, 0.1f);
  }
}

// A sustained tone from a wavetable: `attack` and `release` in seconds,
// optional vibrato; two voices detuned for width when `spread` > 0.
static void Tone(double at, double seconds, double midi, float gain, bool square, double attack, double release,
                 double spread, double vibrato, float send) {
  const double hz = MidiHz(midi);
  const Wavetable& table = Table(square, HarmonicsFor(hz * 1.01));
  const int start = FrameAt(at), length = int((seconds + release) * kRate);
  double phaseA = 0.0, phaseB = 0.37;
  float low = 0.0f;
  for (int i = 0; i < length; ++i) {
    const double t = double(i) / kRate;
    double envelope = t < attack ? t / attack : 1.0;
    if (t > seconds) envelope *= std::max(0.0, 1.0 - (t - seconds) / release);
    const double wobble = vibrato > 0 && t > 0.15 ? 1.0 + vibrato * std::sin(2.0 * kPi * 5.2 * t) : 1.0;
    phaseA += hz * wobble * (1.0 + spread) / kRate;
    phaseB += hz * wobble * (1.0 - spread) / kRate;
    const float a = table.At(phaseA), b = spread > 0 ? table.At(phaseB) : a;
    // A gentle low-pass keeps the pads soft.
    low += ((a + b) * 0.5f - low) * 0.5f;
    const float value = low * float(envelope) * gain;
    Add(start + i, spread > 0 ? (a * 0.7f + b * 0.3f) * float(envelope) * gain : value,
        spread > 0 ? (a * 0.3f + b * 0.7f) * float(envelope) * gain : value, send);
  }
}

static void ChordTones(const Chord& chord, int notes[3]) {
  notes[0] = chord.root + 24;
  notes[1] = chord.root + 24 + (chord.minor ? 3 : 4);
  notes[2] = chord.root + 24 + 7;
}

static void Pad(double at, double seconds, const Chord& chord, float gain) {
  int notes[3];
  ChordTones(chord, notes);
  for (int note : notes) Tone(at, seconds, note - 12, gain, false, 0.35, 0.6, 0.004, 0.0, 0.5f);
}

static void Stab(double at, const Chord& chord, float gain) {
  int notes[3];
  ChordTones(chord, notes);
  for (int note : notes) Tone(at, 0.12, note, gain, false, 0.002, 0.25, 0.006, 0.0, 0.4f);
}

static void BassNote(double at, double seconds, int midi, float gain) {
  Tone(at, seconds, midi, gain, false, 0.004, 0.05, 0.0, 0.0, 0.0f);
}

static void Lead(double at, double seconds, int midi, float gain) {
  Tone(at, seconds, midi, gain, true, 0.012, 0.08, 0.0, 0.006, 0.45f);
}

// Noise rising in level and brightness over [from, to), cut at `to`.
static void Riser(double from, double to, float gain, uint32_t seed) {
  const int start = FrameAt(from), end = FrameAt(to);
  Noise noise{seed | 1};
  float low = 0.0f;
  for (int i = start; i < end; ++i) {
    const double x = double(i - start) / std::max(1, end - start);  // 0 .. 1
    const float k = float(0.02 + 0.5 * x * x);
    low += (noise.Next() - low) * k;
    const float value = low * float(x * x) * gain;
    Add(i, value, value, 0.4f);
  }
}

// ---------------------------------------------------------------------------
// The score
// ---------------------------------------------------------------------------
static void PlayPhrase(const Note* notes, int count, double phraseBeats, double fromBeat, double toBeat, float gain) {
  for (double base = fromBeat; base < toBeat; base += phraseBeats)
    for (int i = 0; i < count; ++i) {
      const double beat = base + notes[i].beat;
      if (beat >= toBeat) break;
      const double end = std::min(beat + notes[i].length, toBeat);
      Lead(BeatTime(beat), BeatTime(end) - BeatTime(beat) - 0.03, notes[i].midi, gain);
    }
}

// Harmony and bass, bar by bar.
static void PlayHarmony() {
  for (int index = 0; index < kSectionCount; ++index) {
    const Section& section = kSections[index];
    const double end = index + 1 < kSectionCount ? kSections[index + 1].fromBeat : section.fromBeat;
    if (section.style == kCoda) continue;
    for (double bar = section.fromBeat; bar < end; bar += 4) {
      const double barEnd = std::min(bar + 4, end);
      const Chord chord = ChordAt(bar);
      const double t0 = BeatTime(bar), t1 = BeatTime(barEnd);
      const bool quiet = section.style == kIntro && bar < 16;
      Pad(t0, t1 - t0, chord, quiet ? 0.05f : section.style == kBreakdown ? 0.09f : 0.07f);

      // Bass: held in the calm passages, eighths or sixteenths elsewhere.
      switch (section.style) {
        case kIntro:
          if (bar >= 32) BassNote(t0, t1 - t0 - 0.05, chord.root, 0.22f);
          break;
        case kHalfTime:
        case kBreakdown:
          BassNote(t0, (t1 - t0) * 0.5 - 0.05, chord.root, 0.25f);
          BassNote(t0 + (t1 - t0) * 0.5, (t1 - t0) * 0.5 - 0.05, chord.root + 12, 0.2f);
          break;
        default: {
          const double step = section.style == kDrive ? 0.25 : 0.5;
          for (double beat = bar; beat < barEnd - 1e-9; beat += step) {
            const int octave = (section.style == kHeavy || section.style == kHeavyLead) && int(beat * 2) % 4 == 3 ? 12 : 0;
            BassNote(BeatTime(beat), BeatTime(beat + step) - BeatTime(beat) - 0.03, chord.root + octave, 0.24f);
          }
        }
      }
      // Arpeggio over the breakdown, where the fog lifts.
      if (section.style == kBreakdown) {
        int notes[3];
        ChordTones(chord, notes);
        for (double beat = bar; beat < barEnd - 1e-9; beat += 0.5) {
          const int step = int((beat - bar) * 2);
          Tone(BeatTime(beat), 0.12, notes[step % 3] + 12 * (step / 3 % 2), 0.06f, true, 0.003, 0.2, 0.0, 0.0, 0.6f);
        }
      }
    }
  }
}

static void PlayMelodies() {
  PlayPhrase(kMainTheme, int(sizeof kMainTheme / sizeof kMainTheme[0]), 32, 30, 62, 0.05f);
  PlayPhrase(kMainTheme, int(sizeof kMainTheme / sizeof kMainTheme[0]), 32, 89, 110, 0.07f);
  PlayPhrase(kHandLine, int(sizeof kHandLine / sizeof kHandLine[0]), 32, 122, 145, 0.06f);
  PlayPhrase(kCastleTheme, int(sizeof kCastleTheme / sizeof kCastleTheme[0]), 16, 169, 192, 0.07f);
  PlayPhrase(kMainTheme, int(sizeof kMainTheme / sizeof kMainTheme[0]), 32, 220, 242, 0.07f);
}

// Drums on the sixteenth grid, by style; nothing near a mark.
static void PlayDrums() {
  uint32_t seed = 1;
  for (int step = 0; step < kLastBeat * 4; ++step) {
    const double beat = step / 4.0;
    const Section& section = SectionAt(beat);
    const int local = int(std::lround((beat - section.fromBeat) * 4));
    const int inBar = local % 16, bar = local / 16;
    const double at = BeatTime(beat);
    ++seed;
    if (NearMark(at)) continue;
    bool kick = false, snare = false, hat = false, openHat = false;
    float snareGain = 0.45f;
    switch (section.style) {
      case kIntro:
        kick = (bar >= 4 && inBar == 0) || (bar >= 8 && inBar == 8);
        hat = bar >= 8 && inBar % 4 == 2;
        if (beat >= 54) {  // snare roll into the first groove
          snare = beat >= 58 ? true : inBar % 2 == 0;
          snareGain = float(0.12 + 0.35 * (beat - 54) / 8.0);
        }
        break;
      case kGroove:
      case kGrooveLead:
      case kReprise:
        kick = inBar == 0 || inBar == 6 || inBar == 8;
        snare = inBar == 4 || inBar == 12;
        hat = inBar % 2 == 0;
        openHat = inBar == 14;
        break;
      case kBuild:
      case kBuildHigh:
        kick = inBar % 4 == 0;
        snare = section.style == kBuild ? inBar % 4 == 0 : inBar % 2 == 0;
        snareGain = section.style == kBuild ? 0.3f : 0.4f;
        hat = true;
        break;
      case kHalfTime:
        kick = inBar == 0 || inBar == 10;
        snare = inBar == 8;
        hat = inBar % 4 == 2;
        break;
      case kHeavy:
      case kHeavyLead:
        kick = inBar == 0 || inBar == 3 || inBar == 8 || inBar == 11;
        snare = inBar == 4 || inBar == 12;
        hat = true;
        if (bar % 2 == 1 && inBar >= 13) Tom(at, 90.0 + 25.0 * (15 - inBar), 0.35f, seed);
        break;
      case kBreakdown:
        hat = inBar % 2 == 0;
        break;
      case kDrive:
      case kDriveFill:
        // Four to the floor; the fill marks of the flight take over after
        // beat 8 of the second part.
        if (section.style == kDriveFill && beat - section.fromBeat >= 8) break;
        kick = inBar % 4 == 0;
        snare = inBar == 4 || inBar == 12;
        hat = inBar % 4 == 2;
        openHat = inBar % 4 == 2 && bar % 2 == 1;
        break;
      case kOutro:
        kick = inBar == 0 || (beat - section.fromBeat < 16 && inBar == 8);
        snare = beat - section.fromBeat < 16 && (inBar == 4 || inBar == 12);
        hat = beat - section.fromBeat < 20 && inBar % 2 == 0;
        break;
      case kCoda:
        break;
    }
    if (kick) Kick(at, 0.7f);
    if (snare) Snare(at, snareGain, seed * 7919u);
    if (openHat) Hat(at, 0.5f, true, seed * 104729u);
    else if (hat) Hat(at, inBar % 4 == 0 ? 0.45f : 0.32f, false, seed * 104729u);
  }
}

// Build-ups: a noise riser into the big cuts.
static void PlayRisers() {
  Riser(0.1, MarkSeconds(kMarks[0]), 0.35f, 11);
  static const int into[] = {62, 122, 145, 192};
  for (int beat : into) Riser(BeatTime(beat - 4), BeatTime(beat), 0.3f, uint32_t(beat) * 31u);
}

static void PlayAccents() {
  static const double fillToms[] = {196.0, 165.0, 139.0, 117.0, 98.0};  // Hz, falling
  int fill = 0;
  for (int i = 0; i < kMarkCount; ++i) {
    const Mark& mark = kMarks[i];
    const double at = MarkSeconds(mark);
    const uint32_t seed = mark.bytes;
    switch (mark.kind) {
      case kSceneCut:
        Crash(at, 1.0f, seed);
        Kick(at, 0.9f);
        Boom(at, 0.5f);
        Stab(at, ChordAt(mark.beat), 0.12f);
        break;
      case kFlash:
        Crash(at, 0.8f, seed);
        Kick(at, 0.8f);
        break;
      case kPoseStab: {
        // The chord of the hand passage at that moment.
        double beat = 122.0;
        while (BeatTime(beat + 1) <= at) beat += 1;
        NoiseBurst(at, 0.7f, 9.0, 0.5, 0.9, 0.0f, seed, 0.35f);
        Kick(at, 0.55f);
        Stab(at, ChordAt(beat), 0.10f);
        break;
      }
      case kFillHit:
        Tom(at, fillToms[fill % 5], 0.6f, seed);
        NoiseBurst(at, 0.55f, 14.0, 0.25, 0.8, 0.0f, seed, 0.2f);
        ++fill;
        break;
      case kGrace:
        NoiseBurst(at, 0.3f, 60.0, 0.05, 0.8, 0.0f, seed, 0.1f);
        break;
      case kFinal:
        Crash(at, 1.0f, seed);
        Kick(at, 0.9f);
        Boom(at, 0.6f);
        break;
    }
  }
  // The last chord: from the closing lines to the end of the file, fading out
  // after the show has stopped.
  const double at = MarkSeconds(kMarks[kMarkCount - 1]);
  const Chord last = kProgressions[5][0];
  const double hold = kLength - at - 1.2;
  Pad(at, hold, last, 0.11f);
  Stab(at, last, 0.12f);
  BassNote(at, hold, last.root, 0.26f);
  BassNote(at, hold, last.root - 12, 0.2f);
  Lead(at, hold * 0.8, 81, 0.05f);
}

// ---------------------------------------------------------------------------
// Mixdown
// ---------------------------------------------------------------------------
// A small Schroeder reverb on the send bus.
static void Reverb() {
  static const int combs[] = {557, 593, 641, 677};
  static const int allpasses[] = {277, 221};
  for (int channel = 0; channel < 2; ++channel) {
    const std::vector<float>& in = channel ? Mix.sendRight : Mix.sendLeft;
    std::vector<float>& out = channel ? Mix.right : Mix.left;
    std::vector<float> wet(size_t(kFrames), 0.0f);
    for (int delay : combs) {
      const int length = delay + channel * 11;
      std::vector<float> line(size_t(length), 0.0f);
      float damp = 0.0f;
      int position = 0;
      for (int i = 0; i < kFrames; ++i) {
        const float delayed = line[size_t(position)];
        damp = delayed * 0.7f + damp * 0.3f;
        line[size_t(position)] = in[size_t(i)] + damp * 0.82f;
        wet[size_t(i)] += delayed;
        if (++position == length) position = 0;
      }
    }
    for (int delay : allpasses) {
      const int length = delay + channel * 7;
      std::vector<float> line(size_t(length), 0.0f);
      int position = 0;
      for (int i = 0; i < kFrames; ++i) {
        const float delayed = line[size_t(position)];
        const float input = wet[size_t(i)];
        line[size_t(position)] = input + delayed * 0.5f;
        wet[size_t(i)] = delayed - input * 0.5f;
        if (++position == length) position = 0;
      }
    }
    for (int i = 0; i < kFrames; ++i) out[size_t(i)] += wet[size_t(i)] * 0.12f;
  }
}

static std::vector<int16_t> Render() {
  Mix.left.assign(size_t(kFrames), 0.0f);
  Mix.right.assign(size_t(kFrames), 0.0f);
  Mix.sendLeft.assign(size_t(kFrames), 0.0f);
  Mix.sendRight.assign(size_t(kFrames), 0.0f);
  PlayHarmony();
  PlayMelodies();
  PlayDrums();
  PlayRisers();
  PlayAccents();
  Reverb();

  std::vector<int16_t> pcm(size_t(kFrames) * 2);
  const int fadeFrom = FrameAt(kLength - 0.8);
  for (int i = 0; i < kFrames; ++i) {
    const float fade = i < fadeFrom ? 1.0f : float(kFrames - i) / float(kFrames - fadeFrom);
    for (int channel = 0; channel < 2; ++channel) {
      const float dry = (channel ? Mix.right : Mix.left)[size_t(i)] * 0.8f * fade;
      const float limited = std::tanh(dry);  // soft limiter: never clips
      pcm[size_t(i) * 2 + size_t(channel)] = int16_t(std::lround(limited * 32000.0f));
    }
  }
  return pcm;
}

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: soundgen OUTPUT.mp3\n");
    return 2;
  }
  static_assert(kLength > 133.2, "the soundtrack must outlast the show");
  const std::vector<int16_t> pcm = Render();
  std::vector<uint8_t> mp3;
  if (!EncodeMp3(pcm.data() + size_t(kCodecDelayFrames) * 2, size_t(kFrames - kCodecDelayFrames), 2, kRate, kBitRate,
                 &mp3, false)) {
    std::fprintf(stderr, "soundgen: encoding failed\n");
    return 1;
  }
  // Written aside and renamed, so an interrupted run leaves no half file.
  const std::string output = argv[1], partial = output + ".part";
  FILE* file = std::fopen(partial.c_str(), "wb");
  if (!file) {
    std::perror(partial.c_str());
    return 1;
  }
  const bool written = std::fwrite(mp3.data(), 1, mp3.size(), file) == mp3.size();
  if (std::fclose(file) != 0 || !written || std::rename(partial.c_str(), output.c_str()) != 0) {
    std::perror(output.c_str());
    std::remove(partial.c_str());
    return 1;
  }
  return 0;
}
