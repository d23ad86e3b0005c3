// The playback engine on the recording backend and a hand-stepped row clock, as the engine tests of
// this folder drive it.
#pragma once

#include <string>
#include <vector>

#include "midi/midi_devices.h"
#include "midi/playback.h"
#include "midi/recording_output.h"
#include "midi/row_clock.h"
#include "song/song.h"
#include "support/recording_reporter.h"

namespace varnel::test {

struct EngineRig {
  MidiRecorder& rec() { return backend.Recorder(); }
  // Controller 123 on all sixteen channels, as hex.
  static std::vector<std::string> AllNotesOffMessages() {
    std::vector<std::string> m;
    for (int c = 0; c < 16; ++c) m.push_back(HexBytes(MakeShortMessage(uint8_t(0xB0 + c), 123, 0)));
    return m;
  }

  RecordingReporter reporter;
  TVNSong song{&reporter};
  RecordingBackend backend;
  MidiDevices devices{backend, song};
  ManualRowClock clock;
  PlaybackEngine engine{song, devices, clock};
};

}  // namespace varnel::test
