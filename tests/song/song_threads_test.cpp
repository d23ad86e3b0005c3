// Edits and reshaping on one thread while another reads the song the way the row clock does.
// Run under ThreadSanitizer (./test.sh --tsan) this proves the shape lock and relaxed access suffice.
#include <atomic>
#include <thread>

#include <gtest/gtest.h>

#include "song/song.h"

namespace varnel {
namespace {

// Reads one row of every track like the row clock: under the shape lock, by direct index.
// Returns false when the song's shape is not consistent with its counts.
bool ReadOneRow(TVNSong& song, int& row) {
  std::scoped_lock lock(song.ShapeLock());
  const int tracks = song.TracksCount(), channels = song.ChannelsCount(), patterns = song.PatternsCount();
  if (tracks < 1 || channels < 1 || patterns < 1 || song.OrderLength() < 1) return false;
  const int pattern = song.CurrentPattern;
  if (pattern >= patterns) return false;
  row = (row + 1) % (song.LastRow(pattern) + 1);
  for (int t = 0; t < tracks; ++t) {
    const int channel = song.TrackChannel(t);
    if (channel >= channels) return false;
    const int order = song.Order(channel, song.OrderLength() - 1);
    if (order > OrderNoteOff) return false;
    if (!song.ChannelOn(channel)) continue;
    const int32_t v = song.CellData(pattern, t, row);
    if (song.TrackType(t) == ttNote && v < 128) {
      song.StoreSoundingNote(t, v + song.ChannelParams(channel, TVNSong::ParamTranspose));
      song.StoreSoundingChannel(t, channel);
      song.StoreChannelActivity(channel, 1);
    }
    if (song.TrackType(t) == ttTempo && v > 0) song.BPM = uint8_t(v);
  }
  song.LastPlayedRow = song.PlayingRow;
  song.PlayingRow = row;
  return true;
}

TEST(SongThreads, EditsAndReshapingDuringPlaybackStayConsistent) {
  TVNSong song;
  song.Reset(4, 64, true);
  song.AddTrack(3, ttTempo, -1, -1);
  std::atomic<bool> stop{false};
  std::atomic<bool> consistent{true};
  std::atomic<long> rowsRead{0};

  std::thread clock([&] {
    int row = 0;
    while (!stop.load()) {
      if (!ReadOneRow(song, row)) consistent = false;
      ++rowsRead;
    }
  });

  const std::vector<uint8_t> saved = song.EncodeFile();
  for (int round = 0; round < 60; ++round) {
    for (int r = 0; r < 64; ++r) song.SetCellData(r % song.TracksCount(), r, 60 + r % 12);
    song.SetCellData(song.TracksCount() - 1, 3, 140);
    song.SetLastRow(uint8_t(31 + round % 32));
    song.SetVelocity(round % song.ChannelsCount(), uint8_t(round));
    song.SetTranspose(0, round % 12);
    song.SetChannelOn(1, round % 2 == 0);
    song.SetOrder(0, 3 + round % 4, round % 2);
    song.SetOrder(0, 3 + round % 4, OrderEmpty);
    song.AddTrack(0, ttVelocity, -1, -1);
    song.AddTrack(0, ttPan, -1, -1);
    song.InsertChannel(1);
    song.SelectPattern(song.PatternsCount());
    song.InsertPattern(0, 48);
    song.DeletePattern(1);
    song.SelectPattern(0);
    song.RemoveChannel(1);
    song.DeleteTrack(2);
    song.DeleteTrack(1);
    song.InsertNote(0, round % 64, 255, 0, 64);
    if (round % 10 == 9) {
      song.Pack(0);
      ASSERT_TRUE(song.LoadFromBytes(saved, "threads.vnl"));
    }
    song.BPM = uint8_t(100 + round);
  }
  while (rowsRead.load() < 100) std::this_thread::yield();
  stop = true;
  clock.join();
  EXPECT_TRUE(consistent.load());
}

}  // namespace
}  // namespace varnel
