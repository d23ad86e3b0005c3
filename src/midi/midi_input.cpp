#include "midi/midi_input.h"

#include <algorithm>
#include <cstdio>

namespace varnel {

MidiInAction InterpretMidiIn(const ShortMessage& message, const MidiInOptions& options, int pianoBaseOctave) {
  MidiInAction action;
  const int status = message.bytes[0], data1 = message.bytes[1], data2 = message.bytes[2];
  if (status == 0xFE) return action;
  action.key = data1;
  action.offset = data1 - 12 * pianoBaseOctave;
  switch (options.velocity) {
    case MidiInOptions::VelocityMode::AsIs: action.velocity = data2; break;
    case MidiInOptions::VelocityMode::Ignore: action.velocity = 100; break;
    case MidiInOptions::VelocityMode::UseMinimum: action.velocity = std::max(data2, options.minimumVelocity); break;
  }
  char text[96];
  std::snprintf(text, sizeof text, "MIDI Data received: %02Xh %d %d send velocity: %d", status, data1, data2,
                action.velocity);
  action.status = text;
  if (status == 0x90) {
    action.kind = data2 == 0 ? MidiInAction::Kind::NoteRelease : MidiInAction::Kind::NoteStart;
  } else {
    action.kind = MidiInAction::Kind::PassThrough;
  }
  return action;
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
