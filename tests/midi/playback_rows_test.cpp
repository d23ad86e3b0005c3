// What one row sends: releases before starts, velocity tracks, transposition, release modes,
// OrderNoteOff, automation, tempo tracks, the metronome and muted channels, as exact bytes.
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "midi/midi_devices.h"
#include "midi/playback.h"
#include "midi/recording_output.h"
#include "midi/row_clock.h"
#include "song/song.h"

namespace varnel {
namespace {

using Messages = std::vector<std::string>;
const Messages kNothing{};

class PlaybackRowsTest : public ::testing::Test {
 protected:
  PlaybackRowsTest() {
    song.Reset(2, 16, true);
    EXPECT_TRUE(devices.OpenMidiOut(0));
  }
  MidiRecorder& rec() { return backend.Recorder(); }

  void Play() {
    rec().Clear();
    rec().SetLabel(-1);
    engine.PlayPause();
    ASSERT_TRUE(engine.Playing());
  }
  // Plays n rows; each row's messages are labelled with its tick number.
  void PlayRows(int n) {
    for (int i = 0; i < n; ++i) {
      rec().SetLabel(tick_++);
      ASSERT_TRUE(clock.Advance());
    }
    rec().SetLabel(-1);
  }
  Messages Sent(int label) {
    Messages m;
    for (const auto& e : rec().Events())
      if (e.label == label) m.push_back(HexBytes(e.message));
    return m;
  }
  Messages Preparation() {
    TVNSong other;
    other.Reset(1, 1, true);
    for (int m = 0; m < MidiChannelCount; ++m) {
      for (int i = 0; i < TVNSong::MIDICHANNEL_PARAMS; ++i) other.StoreMidiChannelParam(m, i, song.MidiChannelParams(m, i));
      for (int i = 0; i < 2; ++i) other.StoreBankSelect(m, i, song.BankSelect(m, i));
    }
    RecordingBackend b;
    MidiDevices d(b, other);
    EXPECT_TRUE(d.OpenMidiOut(0));
    Messages m;
    for (const auto& e : b.Recorder().Events()) m.push_back(HexBytes(e.message));
    return m;
  }
  static Messages Cat(Messages a, const Messages& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
  }

  TVNSong song;
  RecordingBackend backend;
  MidiDevices devices{backend, song};
  ManualRowClock clock;
  PlaybackEngine engine{song, devices, clock};
  int tick_ = 0;
};

TEST_F(PlaybackRowsTest, Row_ReleasesBeforeStartsThenAutomation_ChannelByChannel) {
  song.AddTrack(0, ttNote, -1, -1);  // tracks: note, note, pan (channel 0), note (channel 1)
  song.AddTrack(1, ttPan, -1, -1);
  ASSERT_EQ(song.TracksCount(), 4);
  const int cells[2][4] = {{60, 64, CellEmpty, 67}, {62, 65, 10, 69}};
  for (int r = 0; r < 2; ++r)
    for (int t = 0; t < 4; ++t) song.StoreCell(0, t, r, cells[r][t]);
  Play();
  PlayRows(2);
  // Before any note a track's SoundingNote and SoundingChannel are 0: the release goes to note 0 of
  // song channel 0's MIDI channel.
  EXPECT_EQ(Sent(0), (Messages{"80 00 00", "80 00 00", "90 3C 64", "90 40 64", "80 00 00", "91 43 64"}));
  EXPECT_EQ(Sent(1), (Messages{"80 3C 00", "80 40 00", "90 3E 64", "90 41 64", "B0 0A 0A", "81 43 00", "91 45 64"}));
}

TEST_F(PlaybackRowsTest, ReleaseMode_255KeepsNotesUntilNoteOffCellWhichEndsThemAll) {
  struct Case {
    int mode;
    Messages rows[4];
  };
  const Case cases[] = {
      {0, {{"80 00 00", "90 3C 64"}, {"80 3C 00", "90 3E 64"}, {"80 3E 00"}, {}}},
      {255, {{"90 3C 64"}, {"90 3E 64"}, {"80 3C 00", "80 3E 00"}, {}}},  // every note the track holds
  };
  const int cells[4] = {60, 62, CellNoteOff, CellEmpty};
  for (int r = 0; r < 4; ++r) song.StoreCell(0, 0, r, cells[r]);
  for (const auto& c : cases) {
    SCOPED_TRACE("release mode " + std::to_string(c.mode));
    song.SetReleaseMode(0, uint8_t(c.mode));
    engine.Stop();
    song.ClearSounding();
    Play();
    const int first = tick_;
    PlayRows(4);
    for (int r = 0; r < 4; ++r) EXPECT_EQ(Sent(first + r), c.rows[r]) << "row " << r;
  }
}

TEST_F(PlaybackRowsTest, Release_FollowsTheChannelThatStartedTheNote) {
  song.StoreSoundingNote(0, 50);
  song.StoreSoundingChannel(0, 1);  // as if track 0 had last sounded on song channel 1
  song.SetMidiChannel(1, 7);
  song.StoreCell(0, 0, 0, 60);
  song.StoreCell(0, 0, 1, 62);
  song.StoreCell(0, 0, 2, 64);
  Play();
  PlayRows(1);
  EXPECT_EQ(Sent(0), (Messages{"87 32 00", "90 3C 64"}));
  EXPECT_EQ(song.SoundingChannel(0), 0);

  // The release mode that counts is the one of the channel that started the note.
  song.SetReleaseMode(0, 255);
  song.StoreSoundingChannel(0, 1);
  PlayRows(1);
  EXPECT_EQ(Sent(1), (Messages{"87 3C 00", "90 3E 64"}));
  PlayRows(1);
  EXPECT_EQ(Sent(2), Messages{"90 40 64"});
}

TEST_F(PlaybackRowsTest, VelocityTrack_SuppliesVelocityEmptyCellGivesDefault) {
  song.AddTrack(0, ttVelocity, -1, -1);
  song.SetVelocity(0, 77);
  song.SetMidiChannel(0, 4);
  const int notes[4] = {60, 62, 64, CellEmpty};
  const int velocities[4] = {90, CellEmpty, 127, 50};
  for (int r = 0; r < 4; ++r) {
    song.StoreCell(0, 0, r, notes[r]);
    song.StoreCell(0, 1, r, velocities[r]);
  }
  Play();
  PlayRows(4);
  EXPECT_EQ(Sent(0), (Messages{"84 00 00", "94 3C 5A"}));
  EXPECT_EQ(Sent(1), (Messages{"84 3C 00", "94 3E 4D"}));
  EXPECT_EQ(Sent(2), (Messages{"84 3E 00", "94 40 7F"}));
  EXPECT_EQ(Sent(3), kNothing);  // a velocity track sends nothing itself
}

TEST_F(PlaybackRowsTest, Transpose_ShiftsNoteAndItsRelease) {
  song.SetTranspose(0, -12);
  song.StoreCell(0, 0, 0, 60);
  song.StoreCell(0, 0, 1, CellNoteOff);
  Play();
  PlayRows(2);
  EXPECT_EQ(Sent(0), (Messages{"80 00 00", "90 30 64"}));
  EXPECT_EQ(song.SoundingNote(0), 48);
  EXPECT_EQ(Sent(1), Messages{"80 30 00"});
}

TEST_F(PlaybackRowsTest, Transpose_OutsideMidiRange_NoteNotSent) {
  song.StoreCell(0, 0, 0, 60);
  song.StoreCell(0, 0, 1, 120);
  song.StoreCell(0, 0, 2, 5);
  Play();
  PlayRows(1);
  song.SetTranspose(0, 12);  // 120 + 12 = 132
  PlayRows(1);
  song.SetTranspose(0, -12);  // 5 - 12 = -7
  PlayRows(1);
  EXPECT_EQ(Sent(1), Messages{"80 3C 00"});
  EXPECT_EQ(Sent(2), Messages{"80 3C 00"});
  EXPECT_EQ(song.SoundingNote(0), 60);
  EXPECT_EQ(song.ChannelActivity(0), 0);
}

TEST_F(PlaybackRowsTest, OrderNoteOff_ReleasesEveryNoteTrackOnEveryRow) {
  song.Reset(2, 2, true);
  song.AddTrack(0, ttVelocity, -1, -1);  // tracks: note, velocity, note (channel 0), note (channel 1)
  song.AddTrack(1, ttNote, -1, -1);
  ASSERT_EQ(song.TrackChannel(2), 0);
  song.SetMidiChannel(0, 5);
  song.StoreCell(0, 0, 0, 60);
  song.StoreCell(0, 1, 0, 90);
  song.StoreCell(0, 2, 0, 64);
  song.SongMode = true;
  song.SetOrder(0, 1, OrderNoteOff);
  song.SetOrder(1, 0, OrderEmpty);
  ASSERT_EQ(song.OrderLength(), 2);
  Play();
  PlayRows(5);
  EXPECT_EQ(Sent(0), (Messages{"85 00 00", "85 00 00", "95 3C 5A", "95 40 64"}));
  EXPECT_EQ(Sent(1), kNothing);
  for (int tick = 2; tick < 5; ++tick) EXPECT_EQ(Sent(tick), (Messages{"85 3C 00", "85 40 00"})) << tick;
  // No pattern plays at position 1, so its rows run on past the 2-row pattern.
  EXPECT_EQ(song.LastPlayedOrder, 1);
  EXPECT_EQ(song.LastPlayedRow, 2);
}

TEST_F(PlaybackRowsTest, Automation_EachTrackTypeSentOnItsChannel) {
  song.Reset(1, 4, true);
  const int types[] = {ttPan, ttPitchWheel, ttControlChange, ttNRPN, ttRPN, ttProgram, ttChannelVolume, ttReverb};
  const int params[] = {-1, -1, 74, 300, 5, -1, -1, -1};
  const int values[] = {10, 64, 70, 64, 2, 127, CellEmpty, 200};
  for (int i = 0; i < 8; ++i) {
    ASSERT_TRUE(song.AddTrack(i, types[i], params[i], -1));
    song.StoreCell(0, i + 1, 0, values[i]);
    song.StoreCell(0, i + 1, 1, values[i]);
  }
  song.SetMidiChannel(0, 3);
  Play();
  PlayRows(1);
  EXPECT_EQ(Sent(0), (Messages{"B3 0A 0A", "E3 00 40", "B3 4A 46", "B3 63 02", "B3 62 2C", "B3 06 40", "B3 65 00",
                               "B3 64 05", "B3 06 02", "C3 7F"}));
  song.SetMidiChannel(0, 20);  // MIDI channels above 15 are mute
  PlayRows(1);
  EXPECT_EQ(Sent(1), kNothing);
}

TEST_F(PlaybackRowsTest, TempoTrack_SetsPlayingTempoRestartsAndPreparesInSameRow) {
  song.Reset(2, 8, true);
  ASSERT_TRUE(song.AddTrack(1, ttTempo, -1, -1));
  song.StoreCell(0, 0, 0, 60);
  const int tempos[5] = {20, 255, 0, 100, 254};
  for (int r = 0; r < 5; ++r) song.StoreCell(0, 2, r, tempos[r]);
  Play();
  const Messages preparation = Preparation();
  PlayRows(1);
  EXPECT_EQ(engine.PlayingTempo(), 32);
  EXPECT_EQ(int(song.BPM), 120);  // the song's own tempo stays
  EXPECT_EQ(clock.Period(), RowPeriodFor(32, 4));
  EXPECT_EQ(Sent(0), Cat({"80 00 00", "90 3C 64"}, preparation));
  for (const auto& e : rec().Events())
    if (e.label == 0) {
      EXPECT_EQ(e.when, clock.Now());
    }

  MidiTime before = clock.Now();
  PlayRows(2);  // 255 and 0 are not tempo values
  EXPECT_EQ(clock.Now() - before, 2 * RowPeriodFor(32, 4));
  EXPECT_EQ(Sent(1), kNothing);
  EXPECT_EQ(Sent(2), kNothing);
  EXPECT_EQ(engine.PlayingTempo(), 32);

  PlayRows(2);
  EXPECT_EQ(Sent(3), preparation);
  EXPECT_EQ(Sent(4), preparation);
  EXPECT_EQ(engine.PlayingTempo(), 254);
  before = clock.Now();
  PlayRows(1);
  EXPECT_EQ(clock.Now() - before, RowPeriodFor(254, 4));

  // A save while the cells' tempo plays stores the song's; pause and resume keep the cells' tempo;
  // Stop goes back to the song's.
  TVNSong saved;
  ASSERT_TRUE(saved.LoadFromBytes(song.EncodeFile(), "tempo.vnl"));
  EXPECT_EQ(int(saved.BPM), 120);
  engine.PlayPause();
  engine.PlayPause();
  EXPECT_EQ(engine.PlayingTempo(), 254);
  EXPECT_EQ(clock.Period(), RowPeriodFor(254, 4));
  engine.Stop();
  EXPECT_EQ(engine.PlayingTempo(), 120);
  EXPECT_EQ(int(song.BPM), 120);
}

TEST_F(PlaybackRowsTest, TempoRestart_PreparationResetsControllersToPresets) {
  song.Reset(1, 4, true);
  song.SetMidiParam(0, 1, 20);  // pan preset
  ASSERT_TRUE(song.AddTrack(0, ttPan, -1, -1));
  ASSERT_TRUE(song.AddTrack(1, ttTempo, -1, -1));
  song.StoreCell(0, 1, 0, 99);
  song.StoreCell(0, 2, 0, 140);
  Play();
  PlayRows(1);
  const Messages row = Sent(0);
  ASSERT_GE(row.size(), 2u);
  EXPECT_EQ(row[0], "B0 0A 63");
  EXPECT_EQ(row[1], "B0 0A 14");
  EXPECT_EQ(engine.PlayingTempo(), 140);
}

TEST_F(PlaybackRowsTest, Metronome_BarAndBeatClicksEvenWhenMuted) {
  for (int spd : {4, 3}) {
    SCOPED_TRACE("SPD " + std::to_string(spd));
    song.Reset(2, 40, true);
    song.SPD = uint8_t(spd);
    song.Metronome = true;
    for (int c = 0; c < 2; ++c) song.SetChannelOn(c, false);
    for (int r = 0; r < 40; ++r) song.StoreCell(0, 0, r, 60);
    engine.Stop();
    Play();
    const int first = tick_;
    PlayRows(33);
    for (int r = 0; r < 33; ++r) {
      Messages expected;
      if (r % (4 * spd) == 0) expected = {"89 3D 64", "99 3D 64"};
      else if (r % spd == 0) expected = {"89 3C 64", "99 3C 64"};
      EXPECT_EQ(Sent(first + r), expected) << "row " << r;
    }
  }
}

TEST_F(PlaybackRowsTest, Metronome_ClickComesBeforeTheRowsNotes) {
  song.Metronome = true;
  song.StoreCell(0, 1, 0, 60);
  Play();
  PlayRows(1);
  EXPECT_EQ(Sent(0), (Messages{"89 3D 64", "99 3D 64", "80 00 00", "91 3C 64"}));
}

TEST_F(PlaybackRowsTest, MutedChannel_GetsNoStartsReleasesOrAutomation) {
  ASSERT_TRUE(song.AddTrack(1, ttPan, -1, -1));  // tracks: note (0), note, pan (1)
  song.StoreCell(0, 0, 0, 64);
  song.StoreCell(0, 1, 0, 60);
  song.StoreCell(0, 1, 1, CellNoteOff);
  song.StoreCell(0, 2, 0, 10);
  song.SetChannelOn(1, false);
  song.StoreChannelActivity(1, 1);
  Play();
  PlayRows(2);
  EXPECT_EQ(Sent(0), (Messages{"80 00 00", "90 40 64"}));
  EXPECT_EQ(Sent(1), kNothing);
  EXPECT_EQ(song.ChannelActivity(1), 0);

  // Muted with OrderNoteOff playing: still nothing.
  song.SongMode = true;
  song.SetOrder(1, 0, OrderNoteOff);
  song.StoreSoundingNote(1, 60);
  song.StoreSoundingChannel(1, 1);
  PlayRows(2);
  EXPECT_EQ(Sent(2), kNothing);
  EXPECT_EQ(Sent(3), kNothing);
}

TEST_F(PlaybackRowsTest, PlayState_ActivitySoundingNoteAndLastPlayedSet) {
  song.StoreCell(0, 1, 0, 70);
  song.StoreCell(0, 1, 3, 72);
  Play();
  PlayRows(1);
  EXPECT_EQ(song.ChannelActivity(0), 0);
  EXPECT_EQ(song.ChannelActivity(1), 1);
  EXPECT_EQ(song.SoundingNote(1), 70);
  EXPECT_EQ(song.SoundingChannel(1), 1);
  EXPECT_EQ(song.LastPlayedRow, 0);
  EXPECT_EQ(song.LastPlayedOrder, 0);
  EXPECT_EQ(song.PlayingRow, 1);
  PlayRows(1);
  EXPECT_EQ(song.ChannelActivity(1), 0);
  EXPECT_EQ(song.SoundingNote(1), 70);
  EXPECT_EQ(song.LastPlayedRow, 1);
}

}  // namespace
}  // namespace varnel
