// A song exported as a MIDI file and imported again with matching options (the song's pattern
// length, four rows per quarter as the export writes them) plays the same notes on the same rows.
// Both songs are played on a virtual clock and their note messages compared row by row.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <string>
#include <vector>

#include "exchange/midi_export.h"
#include "exchange/midi_import.h"
#include "exchange/midi_import_files.h"
#include "midi/midi_devices.h"
#include "midi/playback.h"
#include "midi/recording_output.h"
#include "midi/row_clock.h"

namespace varnel::test {
namespace {

using RowMessages = std::map<int, std::vector<std::string>>;  // row -> sorted note messages

// The note starts and releases the song sends in its first rows, in song mode.
RowMessages Played(TVNSong& song, int rows, bool startsOnly) {
  song.SongMode = true;
  song.ClearSounding();
  RecordingBackend backend;
  MidiDevices devices(backend, song);
  ManualRowClock clock;
  PlaybackEngine engine(song, devices, clock);
  EXPECT_TRUE(devices.OpenMidiOut(0));
  engine.Rewind();
  engine.StartPlayTimer();
  for (int row = 0; row < rows; ++row) {
    backend.Recorder().SetLabel(row);
    EXPECT_TRUE(clock.Advance());
  }
  engine.StopPlayTimer();
  RowMessages played;
  for (const auto& event : backend.Recorder().Events()) {
    const int kind = event.message.bytes[0] & 0xF0;
    const bool start = kind == 0x90 && event.message.bytes[2] > 0;
    const bool release = kind == 0x80 || (kind == 0x90 && event.message.bytes[2] == 0);
    if (event.label < 0 || !(start || (release && !startsOnly))) continue;
    // A release is a release, whichever form it takes.
    const std::string text = (start ? "on " : "off ") + std::to_string(event.message.bytes[0] & 0x0F) + " " +
                             std::to_string(event.message.bytes[1]);
    played[event.label].push_back(text);
  }
  for (auto& [row, messages] : played) std::sort(messages.begin(), messages.end());
  return played;
}

// Cells by track: pairs of (row, value) in pattern p.
void Put(TVNSong& song, int pattern, int track, std::initializer_list<std::pair<int, int>> cells) {
  for (const auto& [row, value] : cells) song.StoreCell(pattern, track, row, value);
}

// Chords over several note tracks of a channel, all released within their pattern.
void PolyphonicSong(TVNSong& song, int rows) {
  song.Reset(16, rows, true);
  song.InsertPattern(1, rows);
  for (int k = 0; k < 2; ++k) song.AddTrack(0, ttNote, -1, -1);  // tracks 0..2 on channel 0
  song.AddTrack(5, ttNote, -1, -1);                             // tracks 5, 6 on channel 3
  Put(song, 0, 0, {{0, 60}, {4, CellNoteOff}, {8, 72}, {12, CellNoteOff}});
  Put(song, 0, 1, {{0, 64}, {2, CellNoteOff}, {8, 76}, {10, 77}, {12, CellNoteOff}});
  Put(song, 0, 2, {{0, 67}, {6, CellNoteOff}});
  Put(song, 1, 0, {{1, 50}, {3, CellNoteOff}});
  Put(song, 1, 1, {{1, 53}, {3, CellNoteOff}});
  Put(song, 0, 5, {{2, 45}, {3, CellNoteOff}});
  Put(song, 0, 6, {{2, 49}, {5, CellNoteOff}});
}

void PlayTwoPatternsInOrder(TVNSong& song) {
  for (int c = 0; c < song.ChannelsCount(); ++c) song.SetOrder(c, 1, 1);
}

RowMessages ImportedPlay(const TVNSong& original, int rows, int method, bool startsOnly, TVNSong& imported) {
  const std::vector<uint8_t> file = EncodeMidiFile(original, true);
  EXPECT_FALSE(file.empty());
  MidiImportOptions options;
  options.patternLength = original.LastRow(0) + 1;
  options.rowsPerQuarter = 4;
  options.method = method;
  EXPECT_TRUE(ImportMidiBytes(imported, file, "exported.mid", options));
  ExpectSoundSong(imported);
  return Played(imported, rows, startsOnly);
}

TEST(MidiImportRoundTrip, MonophonicSong_PlaysTheSameNotesOnTheSameRows) {
  for (const int rows : {16, 32}) {
    TVNSong original;
    original.Reset(16, rows, true);
    original.InsertPattern(1, rows);
    Put(original, 0, 0, {{0, 60}, {3, 62}, {4, CellNoteOff}, {9, 64}});  // 64 is held into pattern 1
    Put(original, 1, 0, {{2, CellNoteOff}, {5, 65}, {6, 67}});
    Put(original, 0, 5, {{1, 40}, {2, 41}, {rows - 1, 42}});
    Put(original, 1, 9, {{0, 36}, {4, 38}, {5, CellNoteOff}});
    Put(original, 0, 15, {{7, 90}, {8, CellNoteOff}});
    // Patterns 0, 1, 0: the import unrolls the order.
    for (int c = 0; c < 16; ++c) {
      original.SetOrder(c, 1, 1);
      original.SetOrder(c, 2, 0);
    }
    original.BPM = 133;
    const int total = 3 * rows;
    const RowMessages expected = Played(original, total, false);
    ASSERT_FALSE(expected.empty());

    TVNSong imported;
    EXPECT_EQ(ImportedPlay(original, total, 0, false, imported), expected) << rows;
    EXPECT_EQ(imported.PatternsCount(), 4);  // the final releases fall into a fourth
    EXPECT_EQ(imported.BPM, 133);
  }
}

TEST(MidiImportRoundTrip, ChordsOverSeveralTracks_StartTheSameNotesWithEitherMethod) {
  TVNSong original;
  PolyphonicSong(original, 16);
  PlayTwoPatternsInOrder(original);
  const RowMessages starts = Played(original, 32, true);
  const RowMessages all = Played(original, 32, false);
  for (const int method : {0, 1}) {
    TVNSong imported;
    EXPECT_EQ(ImportedPlay(original, 32, method, true, imported), starts) << method;
  }
  // The experimental method also puts every release on its note's track.
  TVNSong imported;
  EXPECT_EQ(ImportedPlay(original, 32, 1, false, imported), all);
}

}  // namespace
}  // namespace varnel::test
