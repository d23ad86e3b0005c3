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
    NoteRelease,  // a note-off (0x80, or 0x90 with velocity 0) on channel 1: release the key, end its note
    NoteStart,    // a note-on on channel 1: enter the note, press the key, sound it
    PassThrough,  // anything else goes to the output on the current channel
  };
  Kind kind = Kind::Ignore;
  int key = 0;       // data1: the piano key, and the note it writes and sounds
  int velocity = 0;  // after the velocity option
  std::string status;  // the status-bar text
};

MidiInAction InterpretMidiIn(const ShortMessage& message, const MidiInOptions& options);

// What the MIDI input has sounded, by input channel and key, so that a key's note-off ends exactly
// the note its note-on sounded, whatever changed in between (octave, cursor, channel). UI thread.
class HeldInputNotes {
 public:
  struct Note {
    int midiChannel = -1;  // 0..47; -1: nothing
    int note = 0;
    bool Sounds() const { return midiChannel >= 0; }
  };
  // Remembers what a key sounds; gives what it sounded before, if its note-off never came.
  Note Press(int inputChannel, int key, Note sounded);
  // What the key sounds, which it sounds no longer.
  Note Release(int inputChannel, int key);

 private:
  static size_t Index(int inputChannel, int key) { return size_t((inputChannel & 15) * 128 + (key & 127)); }
  std::vector<Note> notes_ = std::vector<Note>(16 * 128);
};

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
