// MIDI clock out: 24 clocks per quarter note at the song's exact tempo. Clocks are placed between
// rows at their exact times, also where a row is not a whole number of clocks (SPD 5: 4.8 clocks a
// row). Times are worked out per row from the row's own time and length, so nothing accumulates.
#pragma once

#include <chrono>
#include <cstdint>

#include "midi/midi_output.h"

namespace varnel {

class TVNSong;

inline constexpr uint8_t MidiTimingClock = 0xF8;
inline constexpr uint8_t MidiStart = 0xFA;
inline constexpr uint8_t MidiContinue = 0xFB;
inline constexpr uint8_t MidiStop = 0xFC;
inline constexpr uint8_t MidiSongPosition = 0xF2;

// Where the clocks fall. Positions are counted in 24ths of a row: at SPD rows per beat, clock k of
// the song lies at 24ths k * SPD.
class MidiClockPulses {
 public:
  // The next clock lies `units` 24ths of a row after the start of the next row played.
  void Reset(int64_t units) { next_ = units < 0 ? 0 : units; }
  int64_t Next() const { return next_; }

  // True (once) when the next row starts with a clock: it goes out before the row's notes.
  bool TakeRowStart(int spd) {
    if (next_ != 0) return false;
    next_ = spd < 1 ? 1 : spd;
    return true;
  }

  // The other clocks of a row that starts at `rowTime` and lasts `period`: f(time) for each, in order.
  template <class F>
  void Row(MidiTime rowTime, std::chrono::nanoseconds period, int spd, F f) {
    const int64_t step = spd < 1 ? 1 : spd;
    for (; next_ < 24; next_ += step) f(rowTime + period * next_ / 24);
    next_ -= 24;
  }

 private:
  int64_t next_ = 0;
};

// The song position as rows played from the top of the song: in pattern mode the playing row; in
// song mode the rows of every earlier order position (each as long as its shortest pattern among
// the channels that play, 256 where none does; loop marks are not counted) plus the playing row.
int64_t RowsFromTop(const TVNSong& song);
// The other way: moves the play position to `rows` rows from the top, counted the same way; beyond
// the end of the song (or of the pattern, in pattern mode) it goes round again.
void SetRowsFromTop(TVNSong& song, int64_t rows);

// The Song Position Pointer for a position: the first sixteenth note at or after it (a position
// between sixteenths is reached by the clocks that follow), at most 16383.
int SongPositionFor(int64_t rows, int spd);
// Where the first clock after that pointer lies, in 24ths of a row after the position's row start.
int64_t ClockUnitsAfter(int64_t rows, int spd, int sixteenths);

}  // namespace varnel
