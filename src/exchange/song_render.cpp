#include "exchange/song_render.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "midi/midi_devices.h"
#include "midi/playback.h"
#include "midi/row_clock.h"
#include "song/durable_file.h"
#include "song/song.h"

namespace varnel {

namespace {

// One output, the MIDI Mapper, that hands every message to the synth (or to nothing).
class SynthBackend final : public MidiBackend {
 public:
  explicit SynthBackend(RenderSynth* synth) : synth_(synth) {}
  std::vector<std::string> OutputNames() override { return {}; }
  std::vector<std::string> InputNames() override { return {}; }
  std::unique_ptr<MidiOutput> OpenOutput(int, int& result) override {
    result = 0;
    return std::make_unique<Output>(synth_);
  }
  std::unique_ptr<MidiInput> OpenInput(int, MidiInputHandler, int& result) override {
    result = 2;
    return nullptr;
  }

 private:
  struct Output final : MidiOutput {
    explicit Output(RenderSynth* s) : synth(s) {}
    void Send(const ShortMessage& message, MidiTime) override {
      if (synth) synth->Send(message);
    }
    RenderSynth* synth;
  };
  RenderSynth* synth_;
};

// Steps the song row by row on a virtual clock; `row` hears each row with its frame count.
class RowStepper {
 public:
  RowStepper(TVNSong& song, RenderSynth* synth, const RenderOptions& options)
      : song_(song), backend_(synth), devices_(backend_, song), engine_(song, devices_, clock_), options_(options) {
    song_.SongMode = options.wholeSong;
    if (!options.wholeSong) song_.CurrentPattern = uint16_t(std::clamp(options.pattern, 0, song.PatternsCount() - 1));
    devices_.OpenMidiOut(-1);
    devices_.ResetChannels(-1);
    engine_.SetPassLimit(options.wholeSong ? 1 : std::max(options.loops, 1));
    engine_.Rewind();
    engine_.StartPlayTimer();
  }

  // Plays the next row; the frames it lasts, or -1 when the song has ended.
  int64_t Next() {
    if (engine_.Finished()) return -1;
    clock_.Advance();
    // As on the real clock, the next row comes one period later, a tempo cell of this row included.
    elapsedNs_ += clock_.Period().count();
    const auto frameEnd = int64_t(std::llround(double(elapsedNs_) * options_.sampleRate / 1e9));
    const int64_t frames = frameEnd - framesSoFar_;
    framesSoFar_ = frameEnd;
    return frames;
  }

  void Stop() { engine_.Stop(); }

 private:
  TVNSong& song_;
  SynthBackend backend_;
  MidiDevices devices_;
  ManualRowClock clock_;
  PlaybackEngine engine_;
  RenderOptions options_;
  int64_t elapsedNs_ = 0;
  int64_t framesSoFar_ = 0;
};

// A rendered song of no rows at all still makes a valid, empty file; the longest one is bounded by
// the 4 GiB a WAV file can describe.
constexpr int64_t MaxWavFrames = (int64_t(0xFFFFFFFF) - 36) / 4;

void WavHeader(std::vector<uint8_t>& out, int sampleRate, int64_t frames) {
  auto u16 = [&](unsigned v) {
    out.push_back(uint8_t(v));
    out.push_back(uint8_t(v >> 8));
  };
  auto u32 = [&](uint32_t v) {
    u16(v & 0xFFFF);
    u16(v >> 16);
  };
  auto text = [&](const char* s) {
    for (int i = 0; i < 4; ++i) out.push_back(uint8_t(s[i]));
  };
  const uint32_t dataBytes = uint32_t(frames * 4);
  text("RIFF");
  u32(36 + dataBytes);
  text("WAVE");
  text("fmt ");
  u32(16);
  u16(1);  // PCM
  u16(2);  // stereo
  u32(uint32_t(sampleRate));
  u32(uint32_t(sampleRate) * 4);
  u16(4);
  u16(16);
  text("data");
  u32(dataBytes);
}

}  // namespace

RenderLength MeasureRender(TVNSong& song, const RenderOptions& options) {
  RenderLength length;
  RowStepper stepper(song, nullptr, options);
  for (int64_t frames; (frames = stepper.Next()) >= 0;) {
    ++length.rows;
    length.frames += frames;
  }
  stepper.Stop();
  return length;
}

bool RenderSong(TVNSong& song, RenderSynth& synth, const RenderOptions& options, const std::string& wavPath,
                const std::function<void(int64_t, int64_t)>& progress) {
  const RenderLength length = MeasureRender(song, options);
  const int64_t totalFrames = std::min(length.frames, MaxWavFrames);
  AtomicFileWriter file(wavPath);
  std::vector<uint8_t> bytes;
  WavHeader(bytes, options.sampleRate, totalFrames);
  bool ok = file.Write(bytes);

  RowStepper stepper(song, &synth, options);
  std::vector<float> left, right;
  int64_t written = 0, rows = 0;
  for (int64_t frames; ok && (frames = stepper.Next()) >= 0;) {
    frames = std::min(frames, totalFrames - written);
    left.resize(size_t(frames));
    right.resize(size_t(frames));
    bytes.resize(size_t(frames) * 4);
    synth.Render(left.data(), right.data(), int(frames));
    for (int64_t i = 0; i < frames; ++i) {
      const auto l = int16_t(std::lrint(std::clamp(left[size_t(i)], -1.0f, 1.0f) * 32767.0f));
      const auto r = int16_t(std::lrint(std::clamp(right[size_t(i)], -1.0f, 1.0f) * 32767.0f));
      bytes[size_t(i) * 4] = uint8_t(l);
      bytes[size_t(i) * 4 + 1] = uint8_t(uint16_t(l) >> 8);
      bytes[size_t(i) * 4 + 2] = uint8_t(r);
      bytes[size_t(i) * 4 + 3] = uint8_t(uint16_t(r) >> 8);
    }
    ok = file.Write(bytes);
    written += frames;
    if (progress) progress(++rows, length.rows);
  }
  stepper.Stop();
  if (!ok || !file.Commit()) {
    song.Report().Message("Error saving file");
    return false;
  }
  return true;
}

}  // namespace varnel
