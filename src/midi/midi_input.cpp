#include "midi/midi_input.h"

#include <algorithm>
#include <cstdio>

namespace varnel {

MidiInAction InterpretMidiIn(const ShortMessage& message, const MidiInOptions& options) {
  MidiInAction action;
  const int status = message.bytes[0], data1 = message.bytes[1], data2 = message.bytes[2];
  if (status == 0xFE) return action;
  action.key = data1;
  switch (options.velocity) {
    case MidiInOptions::VelocityMode::AsIs: action.velocity = data2; break;
    case MidiInOptions::VelocityMode::Ignore: action.velocity = 100; break;
    case MidiInOptions::VelocityMode::UseMinimum: action.velocity = std::max(data2, options.minimumVelocity); break;
  }
  char text[96];
  std::snprintf(text, sizeof text, "MIDI Data received: %02Xh %d %d send velocity: %d", status, data1, data2,
                action.velocity);
  action.status = text;
  if (status == 0x90 && data2 > 0) {
    action.kind = MidiInAction::Kind::NoteStart;
  } else if (status == 0x90 || status == 0x80) {
    action.kind = MidiInAction::Kind::NoteRelease;  // the same key's note, whichever form the note-off takes
  } else {
    action.kind = MidiInAction::Kind::PassThrough;
  }
  return action;
}

HeldInputNotes::Note HeldInputNotes::Press(int inputChannel, int key, Note sounded) {
  Note& held = notes_[Index(inputChannel, key)];
  const Note before = held;
  held = sounded;
  return before;
}

HeldInputNotes::Note HeldInputNotes::Release(int inputChannel, int key) {
  Note& held = notes_[Index(inputChannel, key)];
  const Note before = held;
  held = Note{};
  return before;
}

void MidiInQueue::Push(const ShortMessage& message) {
  {
    std::scoped_lock lock(mutex_);
    pending_.push_back(message);
  }
  if (notify_) notify_();
}

std::vector<ShortMessage> MidiInQueue::TakeAll() {
  std::vector<ShortMessage> taken;
  std::scoped_lock lock(mutex_);
  taken.swap(pending_);
  return taken;
}

}  // namespace varnel
