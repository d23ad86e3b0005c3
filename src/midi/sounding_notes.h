// The notes Varnel has started on an output and not yet ended, per MIDI channel, with the time each
// was started. Stop, pause, mute and closing end exactly these with explicit note-offs: some
// synths ignore the all-notes-off controller.
//
// Not thread-safe: the device layer keeps it under its output lock.
#pragma once

#include <array>
#include <cstdint>

#include "midi/midi_output.h"

namespace varnel {

class SoundingNotes {
 public:
  SoundingNotes() { Clear(-1); }

  // Follows one message sent at `when` (a concrete time, not SendNow): a note-on with a velocity
  // starts its note, a note-off or a note-on with velocity 0 ends it, a system reset ends all.
  void Track(const ShortMessage& message, MidiTime when);

  bool Sounding(int channel, int note) const { return StartNs(channel, note) >= 0; }
  int Count(int channel = -1) const;

  // The sounding notes of one channel 0..15, or of all with -1, channel by channel in ascending note
  // order: f(channel, note, start). They stay tracked until their note-offs are tracked.
  template <class F>
  void ForEach(int channel, F f) const {
    for (int c = channel < 0 ? 0 : channel; c <= (channel < 0 ? 15 : channel); ++c)
      for (int n = 0; n < 128; ++n)
        if (const int64_t start = StartNs(c, n); start >= 0) f(c, n, MidiTime(std::chrono::nanoseconds(start)));
  }

  // Forgets the notes of a channel (-1: all), when the output they sounded on has gone.
  void Clear(int channel);
  // The output has withdrawn the messages later than `after` unplayed. What a key sounds then is
  // what it sounded before those: unknown here, so every key with a withdrawn note-on or note-off
  // counts as sounding from `after` (a note-off too many does no harm; one too few hangs a note).
  void Withdraw(MidiTime after);

 private:
  int64_t StartNs(int channel, int note) const {
    return channel < 0 || channel > 15 || note < 0 || note > 127 ? -1 : start_[size_t(channel * 128 + note)];
  }

  std::array<int64_t, 16 * 128> start_;  // -1: not sounding
  std::array<int64_t, 16 * 128> last_;   // the time of the key's last note-on or note-off; -1: none
};

// The notes one track has started since its last release, where they are kept until a note-off cell
// ("d/a releases"): such a track may hold several at once, all on one MIDI channel. Playback and the
// file export release every one of them; no allocation.
class HeldNotes {
 public:
  bool Empty() const { return bits_[0] == 0 && bits_[1] == 0; }
  int Channel() const { return channel_; }
  // False (and nothing added) when notes of another channel are held: release those first.
  bool Add(int channel, int note) {
    if (note < 0 || note > 127 || (!Empty() && channel != channel_)) return false;
    channel_ = channel;
    bits_[size_t(note / 64)] |= uint64_t(1) << (note % 64);
    return true;
  }
  // f(channel, note) for each held note in ascending order; then none is held.
  template <class F>
  void Release(F f) {
    for (int note = 0; note < 128; ++note)
      if (bits_[size_t(note / 64)] & (uint64_t(1) << (note % 64))) f(channel_, note);
    Clear();
  }
  void Clear() { bits_ = {}; }

 private:
  std::array<uint64_t, 2> bits_{};
  int channel_ = 0;
};

}  // namespace varnel
