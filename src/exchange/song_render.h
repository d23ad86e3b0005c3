// Rendering a song to a WAV file through a synth, offline: the same PlayRow sequence as real
// playback on a virtual clock, the synth rendered for exactly one row's duration between rows.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "midi/midi_output.h"

namespace varnel {

class TVNSong;

// A synth that renders on demand (the embedded synth without its audio output).
class RenderSynth {
 public:
  virtual ~RenderSynth() = default;
  virtual void Send(const ShortMessage& message) = 0;
  // The next frames of audio, as floats in -1..1, into two buffers.
  virtual void Render(float* left, float* right, int frames) = 0;
};

struct RenderOptions {
  int sampleRate = 44100;
  bool wholeSong = true;  // the order once; false: the pattern `pattern`, `loops` times
  int pattern = 0;
  int loops = 1;
};

struct RenderLength {
  int64_t rows = 0;
  int64_t frames = 0;
};

// How long the render will be: the song played once on the virtual clock with nothing sounding.
RenderLength MeasureRender(TVNSong& song, const RenderOptions& options);

// Renders into a 16-bit stereo WAV file (written atomically). `progress` hears the rows done.
// Reports "Error saving file" through the song's reporter on failure.
bool RenderSong(TVNSong& song, RenderSynth& synth, const RenderOptions& options, const std::string& wavPath,
                const std::function<void(int64_t done, int64_t rows)>& progress = {});

}  // namespace varnel
