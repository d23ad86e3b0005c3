// Packing never changes how long a song plays: one pass of song mode plays as many rows after
// Pack(0) (or the steps "Pack song?" runs after a MIDI import) as before, for the shipped songs,
// imported MIDI files with silent bars and modules with silent patterns.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "exchange/midi_import.h"
#include "exchange/midi_import_files.h"
#include "exchange/song_render.h"
#include "exchange/xm_import.h"
#include "support/recording_reporter.h"
#include "xm_import_builder.h"

namespace varnel::test {
namespace {

int64_t RowsPlayed(TVNSong& song) {
  song.SongMode = true;
  return MeasureRender(song, RenderOptions{}).rows;
}

TEST(PackLength, ShippedSongs_PlayAsManyRowsAfterPacking) {
  int count = 0;
  for (const auto& entry : std::filesystem::directory_iterator(VARNEL_BUILT_SONGS)) {
    if (entry.path().extension() != ".vnl") continue;
    SCOPED_TRACE(entry.path().filename().string());
    TVNSong song;
    ASSERT_TRUE(song.LoadFromFile(entry.path().string()));
    const int64_t rows = RowsPlayed(song);
    song.Pack(0);
    EXPECT_EQ(RowsPlayed(song), rows);
    ++count;
  }
  EXPECT_GE(count, 6);
}

// Notes on two channels after a first note at row 70 (32 silent rows and more), then a silent
// bar between them and eight silent bars at the end.
std::vector<uint8_t> FileWithSilentBars() {
  MidiTrack conductor;
  conductor.Tempo(0, 500000).End(96 * 60);
  MidiTrack notes;
  notes.On(24 * 70, 3, 60).On(0, 3, 64).Off(96, 3, 60).Off(0, 3, 64);
  notes.On(96 * 5, 9, 36).Off(24, 9, 36).On(96 * 2, 0, 50).Off(96, 0, 50).End();
  return MidiFile(96, {conductor, notes});
}

TEST(PackLength, MidiImportWithSilentBars_PlaysAsManyRowsAfterPackSong) {
  for (const int length : {16, 48, 256}) {
    SCOPED_TRACE(length);
    RecordingReporter reporter;
    TVNSong song(&reporter);
    ASSERT_TRUE(ImportMidiBytes(song, FileWithSilentBars(), "silent.mid", {0, length, 4, 0}));
    const int64_t rows = RowsPlayed(song);
    ASSERT_EQ(rows, (240 / length + 1) * length);  // whole patterns up to the end of track on row 240
    for (int step = 1; step <= 4; ++step) song.Pack(step);
    EXPECT_EQ(RowsPlayed(song), rows);
    song.Pack(0);
    EXPECT_EQ(RowsPlayed(song), rows);
  }
}

TEST(PackLength, ModuleWithSilentIntroAndBreak_PlaysTheModulesRows) {
  XMModule module;
  module.channels = 2;
  module.instruments = 3;
  module.order = {0, 1, 2, 1, 0};
  module.patterns = {PatternOf(4, 2, {}),  // a silent intro of four rows
                     PatternOf(16, 2, {{0, Note(49, 1)}, {5, Note(53, 2)}}),
                     PatternOf(8, 2, {{14, NoteOnly(97)}})};  // a break: only a key-off
  RecordingReporter reporter;
  TVNSong song(&reporter);
  ASSERT_TRUE(ImportXMBytes(song, module.Build(), "intro.xm"));
  EXPECT_EQ(RowsPlayed(song), 4 + 16 + 8 + 16 + 4);
  song.Pack(0);
  EXPECT_EQ(RowsPlayed(song), 4 + 16 + 8 + 16 + 4);
}

}  // namespace
}  // namespace varnel::test
