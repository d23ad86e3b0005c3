// Incoming MIDI: what a message from the input device means for the editor, and the queue that
// carries messages from the device's thread to the UI thread in arrival order.
#pragma once

#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "midi/midi_output.h"

namespace varnel {

struct MidiInOptions {
  enum class VelocityMode { AsIs, Ignore, UseMinimum };
  VelocityMode velocity = VelocityMode::AsIs;
  int minimumVelocity = 30;
};

struct MidiInAction {
  enum class Kind {
    Ignore,       // active sensing
    NoteRelease,  // a note-on with velocity 0: release the key, end the editor's note
    NoteStart,    // a note-on: enter the note, press the key, sound it
    PassThrough,  // anything else goes to the output on the current channel
  };
  Kind kind = Kind::Ignore;
  int key = 0;       // data1: the piano key
  int offset = 0;    // data1 - 12 x the piano's base octave
  int velocity = 0;  // after the velocity option
  std::string status;  // the status-bar text
};

MidiInAction InterpretMidiIn(const ShortMessage& message, const MidiInOptions& options, int pianoBaseOctave);

// Filled on the device's thread, drained on the UI thread. `notify` runs after each push (the GUI
// posts an event there); it must not block.
class MidiInQueue {
 public:
  void SetNotify(std::function<void()> notify) { notify_ = std::move(notify); }
  void Push(const ShortMessage& message);
  std::vector<ShortMessage> TakeAll();

 private:
  std::mutex mutex_;
  std::vector<ShortMessage> pending_;
  std::function<void()> notify_;
};

}  // namespace varnel
