#include "midi/sounding_notes.h"

#include <algorithm>

namespace varnel {

void SoundingNotes::Track(const ShortMessage& message, MidiTime when) {
  if (message.size == 0) return;
  const uint8_t status = message.bytes[0];
  if (status == 0xFF) {
    Clear(-1);
    return;
  }
  const uint8_t kind = status & 0xF0;
  if ((kind != 0x80 && kind != 0x90) || message.size < 3) return;
  const size_t index = size_t((status & 0x0F) * 128 + (message.bytes[1] & 0x7F));
  const auto ns = std::max<int64_t>(std::chrono::duration_cast<std::chrono::nanoseconds>(when.time_since_epoch()).count(), 0);
  last_[index] = std::max(last_[index], ns);
  if (kind == 0x90 && message.bytes[2] != 0) {
    start_[index] = ns;
  } else {
    start_[index] = -1;
  }
}

int SoundingNotes::Count(int channel) const {
  int count = 0;
  ForEach(channel, [&](int, int, MidiTime) { ++count; });
  return count;
}

void SoundingNotes::Withdraw(MidiTime after) {
  const auto ns = std::max<int64_t>(std::chrono::duration_cast<std::chrono::nanoseconds>(after.time_since_epoch()).count(), 0);
  for (size_t i = 0; i < start_.size(); ++i) {
    if (last_[i] <= ns) continue;
    start_[i] = ns;
    last_[i] = ns;
  }
}

void SoundingNotes::Clear(int channel) {
  if (channel < 0) {
    start_.fill(-1);
    last_.fill(-1);
  } else if (channel <= 15) {
    std::fill_n(start_.begin() + channel * 128, 128, int64_t(-1));
    std::fill_n(last_.begin() + channel * 128, 128, int64_t(-1));
  }
}

}  // namespace varnel
