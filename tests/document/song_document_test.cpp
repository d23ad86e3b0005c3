// The song document: steps of every kind undone and redone exactly, "modified" derived from the
// saved position, the history's limits, and opening and saving that never lose the song.
#include "document/song_document.h"

#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <random>
#include <thread>
#include <string>
#include <vector>

#include "song/song.h"
#include "support/recording_reporter.h"
#include "support/song_builders.h"

namespace varnel {
namespace {

constexpr int C4 = 48, D4 = 50;

// Everything a step may change, cells past the last row and settings the file does not keep included.
std::vector<int64_t> Fingerprint(const TVNSong& s) {
  std::vector<int64_t> out;
  const std::vector<uint8_t> file = s.EncodeFile();
  out.insert(out.end(), file.begin(), file.end());
  for (int p = 0; p < s.PatternsCount(); ++p)
    for (int t = 0; t < s.TracksCount(); ++t)
      for (int r = 0; r < RowsPerPattern; ++r) out.push_back(s.CellData(p, t, r));
  for (int m = 0; m < MidiChannelCount; ++m) out.push_back(s.BankSelect(m, 0) * 256 + s.BankSelect(m, 1));
  for (int c = 0; c < s.ChannelsCount(); ++c) out.push_back(s.ChannelSoloExempt(c));
  return out;
}

class SongDocumentTest : public ::testing::Test {
 protected:
  SongDocumentTest() {
    song.SetReporter(&reporter);
    test::MakeSong(song, 4, 16);
    document.ResetHistory();
  }

  void Note(int track, int row, int value) {
    EditStep step(document, "note", StepScope::Cells(track, track, 0, 255));
    song.SetCellData(track, row, value);
  }

  test::RecordingReporter reporter;
  SongDocument document;
  TVNSong& song = document.Song();
};

TEST_F(SongDocumentTest, CellSteps_UndoAndRedoInOrder_ModifiedOnlyAwayFromTheSave) {
  const auto start = Fingerprint(song);
  EXPECT_FALSE(document.Modified());
  Note(0, 0, C4);
  const auto one = Fingerprint(song);
  Note(1, 3, D4);
  EXPECT_TRUE(document.Modified());
  EXPECT_EQ(document.History().Steps(), 2u);

  const HistoryStep* step = document.Undo();
  ASSERT_NE(step, nullptr);
  EXPECT_EQ(step->name, "note");
  EXPECT_EQ(Fingerprint(song), one);
  ASSERT_NE(document.Undo(), nullptr);
  EXPECT_EQ(Fingerprint(song), start);
  EXPECT_FALSE(document.Modified()) << "undone back to the saved state";
  EXPECT_EQ(document.Undo(), nullptr);

  ASSERT_NE(document.Redo(), nullptr);
  EXPECT_EQ(Fingerprint(song), one);
  EXPECT_TRUE(document.Modified());
  ASSERT_NE(document.Redo(), nullptr);
  EXPECT_EQ(document.Redo(), nullptr);
  EXPECT_EQ(song.CellData(0, 1, 3), D4);
}

TEST_F(SongDocumentTest, NothingChanged_NoStep) {
  { EditStep step(document, "paste", StepScope::Cells(0, 3, 0, 255)); }
  song.SetCellData(0, 0, CellEmpty);  // already empty: no change, not modified
  document.Sync();
  EXPECT_EQ(document.History().Steps(), 0u);
  EXPECT_FALSE(document.Modified());
}

TEST_F(SongDocumentTest, StepKeepsOnlyWhatChanged) {
  {
    EditStep step(document, "paste", StepScope::Cells(0, 3, 0, 255));
    song.SetCellData(2, 5, C4);
    song.SetCellData(3, 7, D4);
  }
  const auto& patch = std::get<CellPatch>(document.History().StepAt(0).patches.at(0));
  EXPECT_EQ(patch.firstTrack, 2);
  EXPECT_EQ(patch.lastTrack, 3);
  EXPECT_EQ(patch.firstRow, 5);
  EXPECT_EQ(patch.lastRow, 7);
  EXPECT_EQ(patch.cells.size(), 6u);
}

TEST_F(SongDocumentTest, DigitsOfOneValue_OneStep_ANewValueAnother) {
  ASSERT_TRUE(song.AddTrack(0, ttVelocity, -1, -1));
  document.ResetHistory();
  const auto type = [&](int value, bool continued) {
    EditStep step(document, "value", StepScope::Cells(1, 1, 2, 2), "value 1 2", continued);
    song.SetCellData(1, 2, value);
  };
  type(1, false);
  type(12, true);
  type(127, true);
  EXPECT_EQ(document.History().Steps(), 1u);
  type(5, false);
  EXPECT_EQ(document.History().Steps(), 2u);
  document.Undo();
  EXPECT_EQ(song.CellData(0, 1, 2), 127);
  document.Undo();
  EXPECT_EQ(song.CellData(0, 1, 2), CellEmpty);
}

TEST_F(SongDocumentTest, NoMergeAcrossSaveOrUndo) {
  const std::string path = test::TempPath("merge.vnl");
  const auto bpm = [&](int value) {
    EditStep step(document, "BPM", StepScope::Values(), "BPM", true);
    song.BPM = uint8_t(value);
  };
  bpm(130);
  bpm(140);
  EXPECT_EQ(document.History().Steps(), 1u);
  ASSERT_TRUE(document.Save(path));
  bpm(150);
  EXPECT_EQ(document.History().Steps(), 2u) << "the saved state stays reachable";
  document.Undo();
  EXPECT_EQ(int(song.BPM), 140);
  EXPECT_FALSE(document.Modified());
  bpm(160);
  document.Undo();
  EXPECT_EQ(int(song.BPM), 140);
  std::filesystem::remove(path);
}

TEST_F(SongDocumentTest, ValuesChangedOutsideSteps_RecordedByNameAtTheNextCheck) {
  song.BPM = 99;
  song.SetVelocity(2, 50);
  EXPECT_TRUE(document.Modified());
  ASSERT_EQ(document.History().Steps(), 1u);
  EXPECT_EQ(document.History().StepAt(0).name, "BPM");
  song.Tag.Title = "Tune";
  document.Sync();
  EXPECT_EQ(document.History().StepAt(1).name, "song info");
  document.Undo();
  EXPECT_EQ(song.Tag.Title, "");
  document.Undo();
  EXPECT_EQ(int(song.BPM), 120);
  EXPECT_EQ(song.GetVelocity(2), 100);
  EXPECT_FALSE(document.Modified());
}

TEST_F(SongDocumentTest, OrderEntries_LengthAndEntriesComeBack) {
  {
    EditStep step(document, "order", StepScope::Orders(1, 1, 5, 5));
    song.SetOrder(1, 5, 0);  // lengthens every list to 6
  }
  EXPECT_EQ(song.OrderLength(), 6);
  {
    EditStep step(document, "order", StepScope::Orders(1, 1, 5, 5));
    song.SetOrder(1, 5, OrderEmpty);  // the tail goes again
  }
  EXPECT_EQ(song.OrderLength(), 1);
  document.Undo();
  EXPECT_EQ(song.OrderLength(), 6);
  EXPECT_EQ(song.GetOrder(1, 5), 0);
  document.Undo();
  EXPECT_EQ(song.OrderLength(), 1);
  document.Redo();
  document.Redo();
  EXPECT_EQ(song.OrderLength(), 1);
}

TEST_F(SongDocumentTest, SongView_CellsOfEachChannelsPattern) {
  ASSERT_TRUE(song.InsertPattern(1, 16));
  song.SetOrder(0, 0, 0);
  song.SetOrder(1, 0, 1);
  song.SongMode = true;
  song.FollowSongView = 1;
  document.ResetHistory();
  {
    EditStep step(document, "paste", StepScope::Cells(0, 3, 0, 255));
    song.SetCellData(0, 4, C4);  // pattern 0
    song.SetCellData(1, 4, D4);  // pattern 1
  }
  EXPECT_EQ(song.CellData(1, 1, 4), D4);
  document.Undo();
  EXPECT_EQ(song.CellData(0, 0, 4), CellEmpty);
  EXPECT_EQ(song.CellData(1, 1, 4), CellEmpty);
  const HistoryStep* step = document.Redo();
  ASSERT_NE(step, nullptr);
  EXPECT_TRUE(step->place.songView == false) << "no place provider: a default place";
  EXPECT_EQ(song.CellData(0, 0, 4), C4);
  EXPECT_EQ(song.CellData(1, 1, 4), D4);
}

TEST_F(SongDocumentTest, ShapeSteps_EachUndoneAndRedoneExactly) {
  song.SetCellData(0, 0, C4);
  song.SetCellData(2, 15, D4);
  song.StoreCell(0, 3, 200, 77);  // past the last row: kept all the same
  song.SetOrder(2, 2, 0);
  song.SetProgram(3, 40);
  song.StoreBankSelect(20, 0, 5);
  document.ResetHistory();
  struct Op {
    const char* name;
    std::function<void()> run;
  };
  const std::vector<Op> ops = {
      {"add track", [&] { ASSERT_TRUE(song.AddTrack(1, ttVelocity, -1, -1)); }},
      {"add automation track", [&] { ASSERT_TRUE(song.AddTrack(3, ttTempo, -1, -1)); }},
      {"add pattern", [&] { ASSERT_TRUE(song.InsertPattern(0, 32)); }},
      {"add channel", [&] { ASSERT_TRUE(song.InsertChannel(1)); }},
      {"remove track", [&] { ASSERT_TRUE(song.DeleteTrack(song.TracksCount() - 1)); }},
      {"remove channel", [&] { song.RemoveChannel(0); }},
      {"remove pattern", [&] { song.DeletePattern(1); }},
      {"pack", [&] { song.Pack(0); }},
  };
  std::vector<std::vector<int64_t>> states{Fingerprint(song)};
  for (const Op& op : ops) {
    {
      EditStep step(document, op.name, StepScope::Shape());
      op.run();
    }
    states.push_back(Fingerprint(song));
    ASSERT_NE(states.back(), states[states.size() - 2]) << op.name;
  }
  ASSERT_EQ(document.History().Steps(), ops.size());
  for (size_t i = ops.size(); i-- > 0;) {
    const HistoryStep* step = document.Undo();
    ASSERT_NE(step, nullptr);
    EXPECT_EQ(step->name, ops[i].name);
    EXPECT_TRUE(step->touches & TouchShape);
    ASSERT_EQ(Fingerprint(song), states[i]) << "undo " << ops[i].name;
  }
  for (size_t i = 0; i < ops.size(); ++i) {
    ASSERT_NE(document.Redo(), nullptr);
    ASSERT_EQ(Fingerprint(song), states[i + 1]) << "redo " << ops[i].name;
  }
}

TEST_F(SongDocumentTest, RefusedShapeCommand_NoStep) {
  {
    EditStep step(document, "remove track", StepScope::Shape());
    EXPECT_FALSE(song.DeleteTrack(99));
  }
  EXPECT_EQ(document.History().Steps(), 0u);
  EXPECT_FALSE(document.Modified());
}

TEST_F(SongDocumentTest, ImagesOfNearlyTheSameSong_ShareTheirCells) {
  for (int t = 0; t < 4; ++t)
    for (int r = 0; r < 16; ++r) song.SetCellData(t, r, C4 + r);
  document.ResetHistory();
  for (int i = 0; i < 10; ++i) {
    EditStep step(document, "add track", StepScope::Shape());
    ASSERT_TRUE(song.AddTrack(0, ttPan, -1, -1));
  }
  // Four filled blocks of 256 cells, kept once for all ten images.
  EXPECT_LT(document.History().Pool().Bytes(), 4 * 400u);
}

TEST_F(SongDocumentTest, NestedSteps_OneStep_UndoPassesThroughEveryState) {
  const auto start = Fingerprint(song);
  {
    EditStep outer(document, "clear", StepScope::Cells(0, 0, 0, 255));
    song.SetCellData(0, 1, C4);
    {
      EditStep inner(document, "note-off", StepScope::Cells(0, 1, 0, 255));
      song.SetCellData(0, 1, CellEmpty);  // back as it was, but the inner part saw C4
      song.SetCellData(1, 2, CellNoteOff);
    }
    song.SetCellData(0, 3, D4);
  }
  EXPECT_EQ(document.History().Steps(), 1u);
  const auto end = Fingerprint(song);
  document.Undo();
  EXPECT_EQ(Fingerprint(song), start);
  document.Redo();
  EXPECT_EQ(Fingerprint(song), end);
}

TEST_F(SongDocumentTest, LooseStep_ClosedByTheNextStep) {
  document.BeginLoose("note", StepScope::Cells(0, 0, 0, 255));
  song.SetCellData(0, 0, C4);
  document.BeginLoose("note", StepScope::Cells(0, 0, 0, 255));
  song.SetCellData(0, 1, D4);
  Note(2, 0, C4);
  EXPECT_EQ(document.History().Steps(), 3u);
  document.Undo();
  document.Undo();
  EXPECT_EQ(song.CellData(0, 0, 1), CellEmpty);
  EXPECT_EQ(song.CellData(0, 0, 0), C4);
}

TEST_F(SongDocumentTest, NewEditAfterUndo_DropsRedo_SavedStateGoneStaysModified) {
  const std::string path = test::TempPath("branch.vnl");
  Note(0, 0, C4);
  ASSERT_TRUE(document.Save(path));
  document.Undo();
  EXPECT_TRUE(document.Modified());
  Note(0, 1, D4);
  EXPECT_FALSE(document.CanRedo());
  document.Undo();
  EXPECT_TRUE(document.Modified()) << "the saved state was on the dropped branch";
  std::filesystem::remove(path);
}

TEST_F(SongDocumentTest, Limits_OldestStepsGoFirst) {
  document.History().SetLimits(500, EditHistory::DefaultMaxBytes);
  for (int i = 0; i < 600; ++i) Note(i % 4, i % 16, 1 + (i * 7) % 120);
  EXPECT_EQ(document.History().Steps(), 500u);
  int undone = 0;
  while (document.Undo()) ++undone;
  EXPECT_EQ(undone, 500);
  EXPECT_TRUE(document.Modified()) << "the saved state went with the oldest steps";

  document.ResetHistory();
  document.History().SetLimits(10000, 20000);
  for (int i = 0; i < 200; ++i) Note(i % 4, i % 16, 1 + (i * 7) % 120);
  EXPECT_LE(document.History().Bytes(), 20000u);
  EXPECT_GT(document.History().Steps(), 10u);
}

TEST_F(SongDocumentTest, UnsavedChangesOutsideTheHistory_ModifiedUntilSaved) {
  const std::string path = test::TempPath("unsaved.vnl");
  document.MarkUnsaved();
  EXPECT_TRUE(document.Modified());
  song.StoreCell(0, 0, 0, C4);  // a write no step holds ...
  song.Modified = true;         // ... that the song marked
  document.ResetHistory();
  song.SetCellData(0, 1, D4);
  EXPECT_TRUE(document.Modified());
  EXPECT_FALSE(document.CanUndo());
  ASSERT_TRUE(document.Save(path));
  EXPECT_FALSE(document.Modified());
  std::filesystem::remove(path);
}

// A random mix of every kind of step, undone to the start and redone to the end state by state.
TEST_F(SongDocumentTest, RandomEdits_EveryStateComesBack) {
  std::mt19937 random(13);
  const auto pick = [&](int n) { return int(random() % unsigned(std::max(n, 1))); };
  std::vector<std::vector<int64_t>> states{Fingerprint(song)};
  for (int i = 0; i < 300; ++i) {
    const int kind = pick(10);
    const int tracks = song.TracksCount();
    if (kind < 4) {
      const int t = pick(tracks), r = pick(song.GetLastRow() + 1);
      EditStep step(document, "note", StepScope::Cells(t, t, 0, 255));
      song.SetCellData(t, r, pick(130));
    } else if (kind == 4) {
      const int c = pick(song.ChannelsCount()), p = pick(8);
      EditStep step(document, "order", StepScope::Orders(c, c, p, p));
      song.SetOrder(c, p, pick(3) == 0 ? OrderEmpty : pick(song.PatternsCount()));
    } else if (kind == 5) {
      EditStep step(document, "BPM", StepScope::Values());
      song.BPM = uint8_t(32 + pick(200));
    } else if (kind == 6) {
      EditStep step(document, "add track", StepScope::Shape());
      song.AddTrack(pick(tracks), pick(2) ? ttNote : ttChannelVolume, -1, -1);
    } else if (kind == 7 && tracks > 2) {
      EditStep step(document, "remove track", StepScope::Shape());
      song.DeleteTrack(pick(tracks));
    } else if (kind == 8) {
      EditStep step(document, "add pattern", StepScope::Shape());
      song.InsertPattern(pick(song.PatternsCount() + 1), 16 + pick(48));
    } else {
      EditStep step(document, "MIDI channel properties", StepScope::Values());
      song.SetProgram(pick(16), uint8_t(pick(128)));
      song.StoreBankSelect(pick(48), pick(2), uint8_t(pick(129)));
    }
    const auto now = Fingerprint(song);
    if (now != states.back()) states.push_back(now);
    ASSERT_EQ(document.History().Steps() + 1, states.size()) << "edit " << i << " of kind " << kind;
  }
  ASSERT_EQ(document.History().Steps() + 1, states.size());
  for (size_t i = states.size() - 1; i-- > 0;) {
    ASSERT_NE(document.Undo(), nullptr);
    ASSERT_EQ(Fingerprint(song), states[i]) << "after undoing to state " << i;
  }
  EXPECT_FALSE(document.Modified());
  for (size_t i = 1; i < states.size(); ++i) {
    ASSERT_NE(document.Redo(), nullptr);
    ASSERT_EQ(Fingerprint(song), states[i]) << "after redoing to state " << i;
  }
}

// Undo and redo of every kind of step while another thread reads the song as the row clock does:
// under the shape lock, by direct index. Under ThreadSanitizer this proves the history keeps to
// the song's threading rules.
TEST_F(SongDocumentTest, UndoAndRedoWhilePlaying_TheSongStaysWhole) {
  std::atomic<bool> stop{false}, whole{true};
  std::atomic<long> rows{0};
  std::thread clock([&] {
    int row = 0;
    while (!stop.load()) {
      std::scoped_lock lock(song.ShapeLock());
      const int tracks = song.TracksCount(), channels = song.ChannelsCount(), patterns = song.PatternsCount();
      const int pattern = song.CurrentPattern;
      if (pattern >= patterns || song.OrderLength() < 1) whole = false;
      row = (row + 1) % (song.LastRow(pattern) + 1);
      for (int t = 0; t < tracks; ++t) {
        const int channel = song.TrackChannel(t);
        if (channel >= channels) whole = false;
        if (song.Order(channel, song.OrderLength() - 1) > OrderNoteOff) whole = false;
        if (song.TrackType(t) == ttNote && song.CellData(pattern, t, row) < 128)
          song.StoreSoundingNote(t, song.ChannelParams(channel, TVNSong::ParamTranspose));
      }
      song.PlayingRow = row;
      ++rows;
    }
  });
  const auto waitForRows = [&] {
    const long seen = rows.load();
    while (rows.load() < seen + 2) std::this_thread::yield();
  };
  waitForRows();
  for (int round = 0; round < 20; ++round) {
    if (round % 5 == 0) waitForRows();
    Note(round % song.TracksCount(), round % 16, C4 + round);
    {
      EditStep step(document, "add track", StepScope::Shape());
      song.AddTrack(0, ttVelocity, -1, -1);
    }
    {
      EditStep step(document, "order", StepScope::Orders(0, 1, 0, 8));
      song.SetOrder(1, 4 + round % 4, 0);
    }
    {
      EditStep step(document, "add channel", StepScope::Shape());
      song.InsertChannel(1);
    }
    {
      EditStep step(document, "BPM", StepScope::Values());
      song.BPM = uint8_t(100 + round);
      song.SetLastRow(uint8_t(20 + round));
    }
    for (int i = 0; i < 3; ++i) document.Undo();
    for (int i = 0; i < 2; ++i) document.Redo();
  }
  while (document.Undo()) {
  }
  while (document.Redo()) {
  }
  waitForRows();
  stop = true;
  clock.join();
  EXPECT_TRUE(whole.load());
  EXPECT_GT(rows.load(), 0);
}

// ---- Files ----

TEST_F(SongDocumentTest, OpenFails_SongNameAndHistoryStay) {
  const std::string path = test::TempPath("edited.vnl");
  Note(0, 0, C4);
  ASSERT_TRUE(document.Save(path));
  Note(0, 1, D4);
  const auto edited = Fingerprint(song);
  const std::string damaged = test::TempPath("damaged.vnl");
  test::WriteFile(damaged, {'V', 'n', 'l', 'M', 'd', '1', '0', '6', 0, 1});
  const std::string text = test::TempPath("text.vnl");
  test::WriteFile(text, {'h', 'e', 'l', 'l', 'o', '\n'});
  for (const std::string& bad : {damaged, text, test::TempPath("missing.vnl")}) {
    reporter.Clear();
    EXPECT_FALSE(document.Open(bad));
    ASSERT_EQ(reporter.messages.size(), 1u) << bad;
    EXPECT_NE(reporter.messages[0].find(bad), std::string::npos) << reporter.messages[0];
    EXPECT_EQ(Fingerprint(song), edited) << bad;
    EXPECT_EQ(song.FileName, path);
    EXPECT_TRUE(document.Modified());
    EXPECT_EQ(document.History().Steps(), 2u);
  }
  EXPECT_EQ(reporter.messages[0], "File not exists\n" + test::TempPath("missing.vnl"));
  reporter.Clear();
  document.Open(damaged);
  EXPECT_EQ(reporter.messages[0], "Error reading file (1)\n" + damaged + "\nthe file ends inside the header");
  reporter.Clear();
  document.Open(text);
  EXPECT_EQ(reporter.messages[0], "Error reading file (1)\n" + text + "\nthe file is not a Varnel song");

  ASSERT_TRUE(document.Open(path));
  EXPECT_FALSE(document.Modified());
  EXPECT_FALSE(document.CanUndo());
  EXPECT_EQ(song.FileName, path);
  EXPECT_EQ(song.CellData(0, 0, 0), C4);
  EXPECT_EQ(song.CellData(0, 0, 1), CellEmpty);
  for (const std::string& p : {path, damaged, text}) std::filesystem::remove(p);
}

TEST_F(SongDocumentTest, SaveFails_NameStaysAndTheReasonIsGiven) {
  const std::string path = test::TempPath("named.vnl");
  ASSERT_TRUE(document.Save(path));
  Note(0, 0, C4);
  const std::string folder = test::TempPath("no-such-folder");
  reporter.Clear();
  EXPECT_FALSE(document.Save(folder + "/song.vnl"));
  EXPECT_EQ(song.FileName, path);
  EXPECT_TRUE(document.Modified());
  ASSERT_EQ(reporter.messages.size(), 1u);
  EXPECT_EQ(reporter.messages[0], "Error saving file\n" + folder + "/song.vnl\nNo such file or directory");
  std::filesystem::remove(path);
}

TEST_F(SongDocumentTest, TakeOver_ContentReplacedInTheSameObject) {
  Note(0, 0, C4);
  TVNSong imported;
  test::MakeSong(imported, 7, 32);
  imported.SetCellData(6, 9, D4);
  imported.FileName.clear();
  const auto expected = Fingerprint(imported);
  TVNSong* before = &document.Song();
  document.TakeOver(imported);
  EXPECT_EQ(&document.Song(), before);
  EXPECT_EQ(Fingerprint(song), expected);
  EXPECT_FALSE(document.CanUndo());
  EXPECT_FALSE(document.Modified());
}

}  // namespace
}  // namespace varnel
