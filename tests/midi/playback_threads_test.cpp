// The real row clock at its shortest period while the UI thread edits the song the way the editor
// does, structural edits included. Run under ThreadSanitizer (./test.sh --tsan) this must stay silent.
#include <array>
#include <atomic>
#include <chrono>
#include <thread>

#include <gtest/gtest.h>

#include "midi/midi_devices.h"
#include "midi/playback.h"
#include "midi/recording_output.h"
#include "midi/row_clock.h"
#include "song/song.h"

namespace varnel {
namespace {

using namespace std::chrono_literals;

// One round of what a user might do while the song plays.
void EditRound(TVNSong& song, MidiDevices& devices, unsigned& seed, int round) {
  auto next = [&seed](int n) {
    seed = seed * 1103515245u + 12345u;
    return int((seed >> 16) % unsigned(n));
  };
  for (int i = 0; i < 16; ++i) {
    const int track = next(song.TracksCount());
    const int type = song.TrackType(track);
    const int value = type == ttTempo ? (next(8) == 0 ? 200 + next(55) : 0) : (next(3) == 0 ? CellNoteOff : next(128));
    song.SetCellData(track, next(64), value);
  }
  song.SetOrder(next(song.ChannelsCount()), next(song.OrderLength()), next(4) == 0 ? OrderNoteOff : next(song.PatternsCount()));
  song.SetOrder(0, song.OrderLength(), 0);  // lengthens the lists
  if (song.OrderLength() > 4) song.SetOrder(0, song.OrderLength() - 1, OrderEmpty);  // and shortens them
  song.SetLastRow(uint8_t(15 + next(48)));
  song.SetChannelOn(next(song.ChannelsCount()), next(4) != 0);
  song.SetTranspose(next(song.ChannelsCount()), next(25) - 12);
  song.SetReleaseMode(next(song.ChannelsCount()), uint8_t(next(2) ? 255 : 0));
  song.SetMidiChannel(next(song.ChannelsCount()), uint8_t(next(17)));  // 16 is mute
  song.SongMode = round % 7 < 3;
  devices.NoteOn(next(16), 60, 100);  // the editor's note preview, from the UI thread

  // Shape changes: no stop needed, the tick holds the shape lock for each row.
  song.AddTrack(0, ttPan, -1, -1);
  song.AddTrack(song.TracksCount() - 1, ttControlChange, 7, -1);
  song.InsertChannel(1);
  song.InsertPattern(song.PatternsCount(), 16 + next(48));
  song.SelectPattern(next(song.PatternsCount()));
  song.RemoveChannel(2);
  song.DeleteTrack(1);
  song.DeleteTrack(song.TracksCount() - 1);
  if (song.PatternsCount() > 4) song.DeletePattern(next(song.PatternsCount()));
}

TEST(PlaybackThreads, EditsWhileRowClockPlays_NoCrashAndRowsInOrder) {
  TVNSong song;
  song.Reset(4, 32, true);
  ASSERT_TRUE(song.AddTrack(0, ttVelocity, -1, -1));
  ASSERT_TRUE(song.AddTrack(song.TracksCount() - 1, ttTempo, -1, -1));
  song.BPM = 255;
  song.SPD = 96;  // about 2.45 ms per row
  RecordingBackend backend;
  MidiDevices devices(backend, song);
  ASSERT_TRUE(devices.OpenMidiOut(-1));
  ThreadRowClock clock;
  PlaybackEngine engine(song, devices, clock);

  std::array<int, 4096> played{};  // written by the clock thread only, read after Stop
  std::atomic<int> rows{0};
  engine.SetRowPlayedHandler([&] {
    const int n = rows.load(std::memory_order_relaxed);
    if (n < int(played.size())) played[size_t(n)] = song.LastPlayedRow;
    rows.store(n + 1, std::memory_order_relaxed);
  });

  engine.PlayPause();
  ASSERT_TRUE(engine.Playing());
  unsigned seed = 7;
  const auto end = std::chrono::steady_clock::now() + 1s;
  int round = 0;
  while (std::chrono::steady_clock::now() < end) {
    EditRound(song, devices, seed, round);
    if (++round % 50 == 0) {  // pause and resume now and then
      engine.PlayPause();
      engine.PlayPause();
    }
    std::this_thread::sleep_for(1ms);
  }
  engine.Stop();

  const size_t recorded = backend.Recorder().Events().size();
  std::this_thread::sleep_for(30ms);
  EXPECT_EQ(backend.Recorder().Events().size(), recorded) << "a tick ran after Stop";
  EXPECT_EQ(song.PlayingRow, 0);

  const int total = std::min(rows.load(), int(played.size()));
  EXPECT_GT(total, 20);
  for (int i = 1; i < total; ++i) {
    const int prev = played[size_t(i - 1)], row = played[size_t(i)];
    ASSERT_TRUE(row == prev + 1 || row == 0) << "row " << row << " after " << prev << " at " << i;
  }
  MidiTime last{};
  int timed = 0;
  for (const auto& e : backend.Recorder().Events()) {
    if (e.when == SendNow) continue;
    ASSERT_GE(e.when, last);
    last = e.when;
    ++timed;
  }
  EXPECT_GT(timed, 0);
}

TEST(PlaybackThreads, FollowingAClockWhileTheWindowEdits_NoRaceAndNoNoteLeftSounding) {
  TVNSong song;
  song.Reset(4, 32, true);
  RecordingBackend backend;
  MidiDevices devices(backend, song);
  ASSERT_TRUE(devices.OpenMidiOut(-1));
  ThreadRowClock clock;
  PlaybackEngine engine(song, devices, clock);
  engine.SetFollowing(true);
  std::atomic<int> rows{0};
  engine.SetRowPlayedHandler([&] { rows.fetch_add(1, std::memory_order_relaxed); });

  // The master on a thread of its own, as the input device delivers: a clock every 5 ms with the
  // transport now and then, while this thread edits and presses Play, Pause and Stop.
  std::atomic<bool> done{false};
  std::thread master([&] {
    int k = 0;
    while (!done.load()) {
      const uint8_t status = k % 97 == 0 ? 0xFA : k % 97 == 60 ? 0xFC : k % 97 == 70 ? 0xF2 : k % 97 == 80 ? 0xFB : 0xF8;
      engine.Follower().Receive(MakeShortMessage(status, uint8_t(k % 5), 0), MidiClock::now());
      if (status != 0xF8) engine.Follower().Receive(MakeShortMessage(0xF8, 0, 0), MidiClock::now());
      ++k;
      std::this_thread::sleep_for(5ms);
    }
  });
  unsigned seed = 11;
  const auto end = std::chrono::steady_clock::now() + 1s;
  for (int round = 0; std::chrono::steady_clock::now() < end; ++round) {
    EditRound(song, devices, seed, round);
    if (round % 40 == 10) engine.PlayPause();
    if (round % 90 == 45) engine.Stop();
    std::this_thread::sleep_for(1ms);
  }
  done = true;
  master.join();
  engine.Stop();
  EXPECT_GT(rows.load(), 0);
  EXPECT_EQ(devices.SoundingNoteCount(), 0);
  engine.SetFollowing(false);
}

}  // namespace
}  // namespace varnel
