#include "midi/midi_clock.h"

#include <algorithm>
#include <mutex>

#include "song/song.h"

namespace varnel {

namespace {

// The rows an order position plays: up to the shortest pattern of the channels that play there.
int RowsAt(const TVNSong& song, int position) {
  int shortest = 255;
  for (int c = 0; c < song.ChannelsCount(); ++c) {
    if (!song.ChannelOn(c)) continue;
    const int p = song.Order(c, position);
    if (p < song.PatternsCount()) shortest = std::min<int>(shortest, song.LastRow(p));
  }
  return shortest + 1;
}

}  // namespace

int64_t RowsFromTop(const TVNSong& song) {
  std::scoped_lock lock(song.ShapeLock());
  int64_t rows = std::max<int32_t>(song.PlayingRow, 0);
  if (!song.SongMode) return rows;
  const int last = std::min<int>(song.PlayingOrder, song.OrderLength());
  for (int position = 0; position < last; ++position) rows += RowsAt(song, position);
  return rows;
}

int SongPositionFor(int64_t rows, int spd) {
  spd = std::max(spd, 1);
  return int(std::min<int64_t>((std::max<int64_t>(rows, 0) * 4 + spd - 1) / spd, 16383));
}

int64_t ClockUnitsAfter(int64_t rows, int spd, int sixteenths) {
  return std::max<int64_t>(int64_t(sixteenths) * 6 * std::max(spd, 1) - 24 * std::max<int64_t>(rows, 0), 0);
}

}  // namespace varnel
