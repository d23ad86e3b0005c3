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

void SetRowsFromTop(TVNSong& song, int64_t rows) {
  std::scoped_lock lock(song.ShapeLock());
  rows = std::max<int64_t>(rows, 0);
  if (!song.SongMode) {
    // Every channel that plays plays the current pattern; with none, the rows run to 255.
    bool plays = false;
    for (int c = 0; c < song.ChannelsCount(); ++c) plays = plays || song.ChannelOn(c);
    const int length = plays && song.CurrentPattern < song.PatternsCount() ? song.LastRow(song.CurrentPattern) + 1 : 256;
    song.PlayingRow = int32_t(rows % length);
    return;
  }
  int64_t total = 0;
  for (int position = 0; position < song.OrderLength(); ++position) total += RowsAt(song, position);
  if (total > 0) rows %= total;
  int position = 0;
  while (position + 1 < song.OrderLength() && rows >= RowsAt(song, position)) rows -= RowsAt(song, position++);
  song.PlayingOrder = position;
  song.PlayingRow = int32_t(rows);
}

int SongPositionFor(int64_t rows, int spd) {
  spd = std::max(spd, 1);
  return int(std::min<int64_t>((std::max<int64_t>(rows, 0) * 4 + spd - 1) / spd, 16383));
}

int64_t ClockUnitsAfter(int64_t rows, int spd, int sixteenths) {
  return std::max<int64_t>(int64_t(sixteenths) * 6 * std::max(spd, 1) - 24 * std::max<int64_t>(rows, 0), 0);
}

}  // namespace varnel
