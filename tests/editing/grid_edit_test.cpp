// The range commands of both grids, the clipboard and the column rotations, on a real song with a
// recording reporter and a view that records what it was asked; each command one step of the
// song document's history, as the editor runs them, so undo restores what each one changed.
#include "editing/grid_edit.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "document/song_document.h"
#include "song/song.h"
#include "support/recording_reporter.h"
#include "support/song_builders.h"

namespace varnel {
namespace {

constexpr int C4 = 48, Cs4 = 49, D4 = 50, Ds4 = 51, E4 = 52, F4 = 53;

class RecordingView final : public GridEditView {
 public:
  void RedrawCell(EditorGrid, int, int) override { ++redraws; }
  int redraws = 0;
};

// Grid coordinates: column = track + 1, row = pattern row + 1.
GridPlace At(int track, int row, EditorGrid grid = EditorGrid::Pattern) {
  return {grid, track + 1, row + 1, track + 1, row + 1, track + 1, row + 1};
}
GridPlace Select(int firstTrack, int firstRow, int lastTrack, int lastRow, EditorGrid grid = EditorGrid::Pattern) {
  return {grid, firstTrack + 1, firstRow + 1, firstTrack + 1, firstRow + 1, lastTrack + 1, lastRow + 1};
}

class GridEditTest : public ::testing::Test {
 protected:
  GridEditTest() {
    test::MakeSong(song, 4, 16);  // tracks 0..3, one note track per channel
    document.ResetHistory();
  }

  // As the editor frame runs them: every command but a copy one step over the whole grid.
  StepScope Whole(EditorGrid grid) const {
    return grid == EditorGrid::Order ? StepScope::Orders(0, song.ChannelsCount() - 1, 0, 255)
                                     : StepScope::Cells(0, song.TracksCount() - 1, 0, 255);
  }
  void Edit(int action, int scope, int amount, const GridPlace& place, bool simple = false) {
    if (action == EditCopy) return edit.EditGrid(action, scope, amount, place, simple);
    EditStep step(document, "edit", Whole(place.grid));
    edit.EditGrid(action, scope, amount, place, simple);
  }
  int Rotate(bool down, const GridPlace& place) {
    EditStep step(document, "rotate", Whole(place.grid));
    return down ? edit.EditScrollDown(place) : edit.EditScrollUp(place);
  }
  bool CanUndo() const { return document.CanUndo(); }
  const HistoryStep* Undo() { return document.Undo(); }
  int Cell(int track, int row) const { return song.GetCellData(track, row); }
  std::vector<int> Column(int track, int rows) const {
    std::vector<int> out;
    for (int r = 0; r < rows; ++r) out.push_back(Cell(track, r));
    return out;
  }

  test::RecordingReporter reporter;
  SongDocument document{&reporter};
  TVNSong& song = document.Song();
  RecordingView view;
  GridEdit edit{song, view};
};

// ---- Transposition ----

TEST(TransposedValue, ScaleStepsAndSimpleSemitones) {
  struct Case {
    const char* name;
    int value, amount;
    bool note, simple;
    int keyTone, keyType, expected;
  };
  const Case cases[] = {
      {"C up in C major skips C#", C4, 1, true, false, 0, 0, D4},
      {"D up skips D#", D4, 1, true, false, 0, 0, E4},
      {"E up is a semitone", E4, 1, true, false, 0, 0, F4},
      {"C down wraps below the key tone to B", C4, -1, true, false, 0, 0, C4 - 1},
      {"D down skips C#", D4, -1, true, false, 0, 0, C4},
      {"F down is a semitone", F4, -1, true, false, 0, 0, E4},
      {"C# is outside C major", Cs4, 1, true, false, 0, 0, -1},
      {"D# is in C minor", Ds4, -1, true, false, 0, 1, D4},
      {"B up in D major (C# follows)", 47, 1, true, false, 2, 0, 49},
      {"simple moves a semitone", C4, 1, true, true, 0, 0, Cs4},
      {"simple moves C# too", Cs4, -1, true, true, 0, 0, C4},
      {"value tracks move by the amount", 100, -12, false, false, 0, 0, 88},
      {"a value track ignores the scale", 1, 1, false, false, 0, 0, 2},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(TransposedValue(c.value, c.amount, c.note, c.simple, c.keyTone, c.keyType), c.expected);
  }
}

TEST_F(GridEditTest, TransposeUp_CDEInCMajor_GivesDEF) {
  song.SetCellData(0, 0, C4);
  song.SetCellData(0, 1, D4);
  song.SetCellData(0, 2, E4);
  document.ResetHistory();
  Edit(EditTranspose, ScopeSelection, 1, Select(0, 0, 0, 2));
  EXPECT_EQ(Column(0, 3), (std::vector<int>{D4, E4, F4}));
  EXPECT_TRUE(reporter.questions.empty());
  EXPECT_TRUE(document.Modified());
  EXPECT_TRUE(CanUndo());
}

TEST_F(GridEditTest, TransposeUp_Simple_MovesBySemitones) {
  song.SetCellData(0, 0, C4);
  song.SetCellData(0, 1, E4);
  Edit(EditTranspose, ScopeSelection, 1, Select(0, 0, 0, 1), true);
  EXPECT_EQ(Column(0, 2), (std::vector<int>{Cs4, F4}));
}

TEST_F(GridEditTest, TransposeScaleAware_NoteOutsideScale_ErasedOnlyAfterYes) {
  song.SetCellData(0, 0, Cs4);
  song.SetCellData(0, 1, C4);
  document.ResetHistory();
  reporter.answer = false;
  Edit(EditTranspose, ScopeSelection, 1, Select(0, 0, 0, 1));
  EXPECT_EQ(reporter.questions, std::vector<std::string>{"1 note(s) will be erased! Proceed?"});
  EXPECT_EQ(Column(0, 2), (std::vector<int>{Cs4, C4}));
  EXPECT_FALSE(document.Modified());
  EXPECT_FALSE(CanUndo()) << "declined: nothing changed, no step";

  reporter.answer = true;
  Edit(EditTranspose, ScopeSelection, 1, Select(0, 0, 0, 1));
  EXPECT_EQ(Column(0, 2), (std::vector<int>{CellEmpty, D4}));
  EXPECT_TRUE(document.Modified());
}

TEST_F(GridEditTest, TransposeOctaveUp_NoteAt120_AsksWithCountOneAndEmptiesIt) {
  song.SetCellData(1, 3, 120);
  song.SetCellData(1, 4, 100);
  song.SetCellData(1, 5, CellNoteOff);
  Edit(EditTranspose, ScopeSelection, 12, Select(1, 3, 1, 5));
  EXPECT_EQ(reporter.questions, std::vector<std::string>{"1 note(s) will be erased! Proceed?"});
  EXPECT_EQ(Column(1, 6)[3], CellEmpty);
  EXPECT_EQ(Cell(1, 4), 112);
  EXPECT_EQ(Cell(1, 5), CellNoteOff) << "note-offs stay";
}

TEST_F(GridEditTest, TransposeVelocityTrack_TrackScopeShifts_ChannelAndPatternScopesLeaveIt) {
  ASSERT_TRUE(song.AddTrack(0, ttVelocity, -1, -1));  // track 1: velocities of channel 0
  song.SetCellData(0, 0, C4);
  song.SetCellData(1, 0, 100);
  Edit(EditTranspose, ScopeTrack, 1, At(1, 5));
  EXPECT_EQ(Cell(1, 0), 101);
  EXPECT_EQ(Cell(0, 0), C4);
  Edit(EditTranspose, ScopeChannel, 1, At(1, 5));
  EXPECT_EQ(Cell(1, 0), 101);
  EXPECT_EQ(Cell(0, 0), D4);
  Edit(EditTranspose, ScopeAll, -1, At(3, 0));
  EXPECT_EQ(Cell(1, 0), 101);
  EXPECT_EQ(Cell(0, 0), C4);
}

TEST_F(GridEditTest, TransposeRangeWithTempoTrack_DoesNothing) {
  ASSERT_TRUE(song.AddTrack(3, ttTempo, -1, -1));  // track 4: tempo of channel 3
  song.SetCellData(0, 0, C4);
  song.SetCellData(4, 0, 120);
  document.ResetHistory();
  Edit(EditTranspose, ScopeAll, 1, At(0, 0));
  EXPECT_EQ(Cell(0, 0), C4);
  EXPECT_EQ(Cell(4, 0), 120);
  EXPECT_FALSE(document.Modified());
  EXPECT_TRUE(reporter.questions.empty());
}

TEST_F(GridEditTest, TransposeOrderGrid_PastPattern255_BecomesOrderEmpty) {
  song.SetOrder(0, 0, 3);
  song.SetOrder(0, 1, 255);
  song.SetOrder(1, 0, OrderNoteOff);
  Edit(EditTranspose, ScopeAll, 1, At(0, 0, EditorGrid::Order));
  EXPECT_EQ(reporter.questions, std::vector<std::string>{"1 note(s) will be erased! Proceed?"});
  EXPECT_EQ(song.GetOrder(0, 0), 4);
  EXPECT_EQ(song.GetOrder(0, 1), OrderEmpty);
  EXPECT_EQ(song.GetOrder(1, 0), OrderNoteOff);
  EXPECT_EQ(song.GetOrder(2, 0), 1) << "every channel's pattern 0 moved too";
  Edit(EditTranspose, ScopeTrack, -2, At(0, 0, EditorGrid::Order));
  EXPECT_EQ(reporter.questions.size(), 1u);
  EXPECT_EQ(song.GetOrder(0, 0), 2);
}

// ---- Ranges ----

TEST_F(GridEditTest, RangeOf_Scopes) {
  ASSERT_TRUE(song.AddTrack(1, ttVelocity, -1, -1));  // tracks: 0 c0, 1 c1, 2 c1 velocity, 3 c2, 4 c3
  GridPlace rowNumbers = Select(0, 2, 4, 3);
  rowNumbers.selLeft = 0;  // selected by dragging over the row numbers
  struct Case {
    const char* name;
    int scope;
    GridPlace place;
    EditRange expected;
  };
  const Case cases[] = {
      {"selection", ScopeSelection, Select(1, 2, 2, 5), {1, 2, 2, 5}},
      {"selection on the row numbers", ScopeSelection, rowNumbers, {0, 2, 4, 3}},
      {"track", ScopeTrack, At(2, 7), {2, 0, 2, 15}},
      {"channel", ScopeChannel, At(1, 7), {1, 0, 2, 15}},
      {"pattern", ScopeAll, At(4, 0), {0, 0, 4, 15}},
      {"order track", ScopeTrack, At(2, 7, EditorGrid::Order), {2, 0, 2, 255}},
      {"order channel", ScopeChannel, At(2, 7, EditorGrid::Order), {2, 0, 2, 255}},
      {"order table", ScopeAll, At(2, 7, EditorGrid::Order), {0, 0, 3, 255}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(edit.RangeOf(c.scope, c.place), c.expected);
  }
}

// ---- Copy, clear, paste ----

TEST_F(GridEditTest, PasteThreeTracksOnLastTrack_WrapsToFirstTracks) {
  for (int t = 0; t < 3; ++t) song.SetCellData(t, 0, C4 + t);
  Edit(EditCopy, ScopeSelection, 0, Select(0, 0, 2, 15));
  EXPECT_FALSE(CanUndo()) << "copy takes no snapshot";
  EXPECT_EQ(edit.Clipboard().ClipRect, (EditRange{0, 0, 2, 15}));
  song.SetCellData(0, 0, CellEmpty);
  song.SetCellData(1, 0, CellEmpty);
  song.SetCellData(2, 0, CellEmpty);
  Edit(EditPaste, ScopeSelection, 0, At(3, 0));
  EXPECT_EQ(Cell(3, 0), C4);
  EXPECT_EQ(Cell(0, 0), C4 + 1);
  EXPECT_EQ(Cell(1, 0), C4 + 2);
  EXPECT_EQ(Cell(2, 0), CellEmpty);
}

TEST_F(GridEditTest, PasteBlockPastLastRow_WrapsToRowZero) {
  song.SetCellData(0, 0, C4);
  song.SetCellData(0, 1, D4);
  song.SetCellData(0, 2, E4);
  Edit(EditCopy, ScopeSelection, 0, Select(0, 0, 0, 2));
  Edit(EditPaste, ScopeSelection, 0, At(1, 14));
  EXPECT_EQ(Cell(1, 14), C4);
  EXPECT_EQ(Cell(1, 15), D4);
  EXPECT_EQ(Cell(1, 0), E4);
}

TEST_F(GridEditTest, PasteTwoByTwoIntoFourBySix_RepeatsTheBlock) {
  song.SetCellData(0, 0, 10);
  song.SetCellData(1, 0, 11);
  song.SetCellData(0, 1, 20);
  song.SetCellData(1, 1, 21);
  Edit(EditCopy, ScopeSelection, 0, Select(0, 0, 1, 1));
  const GridPlace target = Select(0, 4, 3, 9);  // 4 tracks x 6 rows
  Edit(EditPaste, ScopeSelection, 0, target);
  for (int t = 0; t < 4; ++t)
    for (int r = 4; r <= 9; ++r) EXPECT_EQ(Cell(t, r), (r % 2 == 0 ? 10 : 20) + t % 2) << t << "," << r;
  EXPECT_EQ(Cell(0, 10), CellEmpty);
  EXPECT_EQ(Cell(0, 3), CellEmpty);
}

TEST_F(GridEditTest, Cut_CopiesThenClearsByTrackType) {
  ASSERT_TRUE(song.AddTrack(0, ttVelocity, -1, -1));  // track 1
  ASSERT_TRUE(song.AddTrack(1, ttTempo, -1, -1));     // track 2
  song.SetCellData(0, 0, C4);
  song.SetCellData(1, 0, 90);
  song.SetCellData(2, 0, 140);
  Edit(EditCut, ScopeSelection, 0, Select(0, 0, 2, 0));
  EXPECT_EQ(Cell(0, 0), CellEmpty);
  EXPECT_EQ(Cell(1, 0), CellEmpty);
  EXPECT_EQ(Cell(2, 0), 0) << "an empty tempo cell is 0";
  const EditClipboard& clip = edit.Clipboard();
  EXPECT_TRUE(clip.ClipFilled);
  EXPECT_EQ(clip.ClipKind, EditorGrid::Pattern);
  EXPECT_EQ(clip.ClipColumnKinds, (std::vector<uint8_t>{ttNote, ttVelocity, ttTempo}));
  EXPECT_EQ(clip.ClipCells, (std::vector<int32_t>{C4, 90, 140}));
}

TEST_F(GridEditTest, PasteIntoOtherTrackType_WarnsAndConvertsValues) {
  ASSERT_TRUE(song.AddTrack(0, ttVelocity, -1, -1));  // track 1
  ASSERT_TRUE(song.AddTrack(1, ttTempo, -1, -1));     // track 2
  song.SetCellData(0, 0, C4);
  song.SetCellData(0, 1, CellNoteOff);
  song.SetCellData(2, 0, 0);
  song.SetCellData(2, 1, 200);
  Edit(EditCopy, ScopeSelection, 0, Select(0, 0, 0, 2));  // note, note-off, empty
  Edit(EditPaste, ScopeSelection, 0, At(1, 4));
  EXPECT_TRUE(reporter.SaidStatus("Warning: Range type mismatch"));
  EXPECT_EQ(Column(1, 7), (std::vector<int>{CellEmpty, CellEmpty, CellEmpty, CellEmpty, C4, 127, CellEmpty}))
      << "a note-off becomes 127 outside note and tempo tracks";
  Edit(EditCopy, ScopeSelection, 0, Select(2, 0, 2, 1));  // tempo 0 and 200
  reporter.Clear();
  Edit(EditPaste, ScopeSelection, 0, At(3, 0));
  EXPECT_TRUE(reporter.SaidStatus("Warning: Range type mismatch"));
  EXPECT_EQ(Cell(3, 0), 0);
  EXPECT_EQ(Cell(3, 1), CellEmpty) << "values from 130 on are empty outside tempo tracks";
  reporter.Clear();
  Edit(EditPaste, ScopeSelection, 0, At(2, 5));
  EXPECT_FALSE(reporter.SaidStatus("Warning: Range type mismatch"));
  EXPECT_EQ(Cell(2, 6), 200);
}

TEST_F(GridEditTest, PasteOtherGridsClipboard_InvalidRangeType_NothingPasted) {
  song.SetCellData(0, 0, C4);
  song.SetOrder(1, 0, 7);
  Edit(EditCopy, ScopeSelection, 0, At(0, 0));
  Edit(EditPaste, ScopeSelection, 0, At(1, 0, EditorGrid::Order));
  EXPECT_EQ(reporter.messages, std::vector<std::string>{"Invalid range type"});
  EXPECT_EQ(song.GetOrder(1, 0), 7);

  Edit(EditCopy, ScopeSelection, 0, At(1, 0, EditorGrid::Order));
  EXPECT_EQ(edit.Clipboard().ClipColumnKinds, std::vector<uint8_t>{OrderColumnKind});
  document.ResetHistory();
  Edit(EditPaste, ScopeSelection, 0, At(2, 0));
  EXPECT_EQ(reporter.messages.size(), 2u);
  EXPECT_EQ(Cell(2, 0), CellEmpty);
  EXPECT_FALSE(document.Modified());
}

TEST_F(GridEditTest, PasteBeforeAnyCopy_DoesNothing) {
  Edit(EditPaste, ScopeAll, 0, At(0, 0));
  EXPECT_FALSE(document.Modified());
  EXPECT_EQ(view.redraws, 0);
  EXPECT_TRUE(reporter.messages.empty());
}

TEST_F(GridEditTest, OrderGrid_CopyPasteAndClear) {
  song.SetOrder(0, 0, 1);
  song.SetOrder(0, 1, 2);
  Edit(EditCopy, ScopeTrack, 0, At(0, 0, EditorGrid::Order));
  Edit(EditPaste, ScopeSelection, 0, At(2, 0, EditorGrid::Order));
  EXPECT_EQ(song.GetOrder(2, 0), 1);
  EXPECT_EQ(song.GetOrder(2, 1), 2);
  EXPECT_EQ(song.OrderLength(), 2);
  Edit(EditClear, ScopeAll, 0, At(0, 0, EditorGrid::Order));
  for (int c = 0; c < 4; ++c) EXPECT_EQ(song.GetOrder(c, 0), OrderEmpty);
  EXPECT_EQ(view.redraws, 256 + 4 * 256);
}

// ---- Undo of the commands ----

TEST_F(GridEditTest, Undo_StepByStep_EachCommandRestored) {
  EXPECT_EQ(Undo(), nullptr);
  song.SetCellData(0, 0, C4);
  document.ResetHistory();
  Edit(EditClear, ScopeAll, 0, At(0, 0));
  Edit(EditCopy, ScopeSelection, 0, At(0, 0));
  EXPECT_EQ(document.History().Steps(), 1u) << "copy is no step";
  song.SetCellData(1, 1, D4);
  document.ResetHistory();
  Edit(EditCopy, ScopeSelection, 0, At(1, 1));
  Edit(EditPaste, ScopeSelection, 0, At(2, 2));
  EXPECT_EQ(Cell(2, 2), D4);
  ASSERT_NE(Undo(), nullptr);
  EXPECT_EQ(Cell(2, 2), CellEmpty);
  EXPECT_EQ(Undo(), nullptr) << "the history began again";
}

TEST_F(GridEditTest, Undo_EditInPattern3WhilePattern5Shown_RestoresPattern3AndSaysWhere) {
  document.SetPlaceOf([this] {
    EditPlace place;
    place.pattern = song.CurrentPattern;
    return place;
  });
  for (int p = 1; p <= 5; ++p) ASSERT_TRUE(song.InsertPattern(p, 16));
  song.SelectPattern(3);
  song.SetCellData(2, 7, E4);
  document.ResetHistory();
  Edit(EditClear, ScopeAll, 0, At(0, 0));
  song.SelectPattern(5);
  song.SetCellData(2, 7, C4);
  const HistoryStep* step = Undo();
  ASSERT_NE(step, nullptr);
  EXPECT_EQ(step->place.pattern, 3);
  EXPECT_EQ(song.CellData(3, 2, 7), E4);
  EXPECT_EQ(song.CellData(5, 2, 7), C4) << "the pattern shown before is untouched";
}

TEST_F(GridEditTest, Undo_OrderClear_RestoresEveryListAndTheLength) {
  song.SetOrder(0, 0, 0);
  song.SetOrder(1, 2, 0);
  document.ResetHistory();
  Edit(EditClear, ScopeAll, 0, At(0, 0, EditorGrid::Order));
  EXPECT_EQ(song.OrderLength(), 1);
  Undo();
  EXPECT_EQ(song.GetOrder(1, 2), 0);
  EXPECT_EQ(song.GetOrder(0, 0), 0);
  EXPECT_EQ(song.OrderLength(), 3);
}

TEST_F(GridEditTest, Undo_AcrossAddedTracks_TheTrackGoesFirst) {
  song.SetCellData(0, 0, C4);
  document.ResetHistory();
  Edit(EditClear, ScopeAll, 0, At(0, 0));
  {
    EditStep step(document, "add volume track", StepScope::Shape());
    ASSERT_TRUE(song.AddTrack(0, ttVelocity, -1, -1));
  }
  Edit(EditPaste, ScopeSelection, 0, At(1, 0));
  Undo();
  Undo();
  EXPECT_EQ(song.TracksCount(), 4);
  Undo();
  EXPECT_EQ(Cell(0, 0), C4);
}

TEST_F(GridEditTest, SongView_CommandsAreStepsToo) {
  song.SongMode = true;
  song.FollowSongView = 1;
  song.SetCellData(0, 0, C4);  // through the order: pattern 0 at position 0
  document.ResetHistory();
  Edit(EditTranspose, ScopeSelection, 12, At(0, 0));
  EXPECT_EQ(song.CellData(0, 0, 0), C4 + 12);
  ASSERT_TRUE(CanUndo());
  Undo();
  EXPECT_EQ(song.CellData(0, 0, 0), C4);
}

// ---- Column rotations ----

TEST_F(GridEditTest, EditScrollDown_RotatesColumnDownAndFollowsWithCursor) {
  song.SetCellData(1, 0, C4);
  song.SetCellData(1, 15, D4);
  GridPlace place = At(1, 4);
  EXPECT_EQ(Rotate(true, place), place.cursorRow + 1);
  EXPECT_EQ(Cell(1, 0), D4);
  EXPECT_EQ(Cell(1, 1), C4);
  EXPECT_EQ(Cell(1, 15), CellEmpty);
  EXPECT_TRUE(CanUndo());
  EXPECT_EQ(edit.Clipboard().ClipRect, (EditRange{1, 0, 1, 15})) << "the rotation goes through the clipboard";
  Undo();
  EXPECT_EQ(Cell(1, 0), C4);
  EXPECT_EQ(Cell(1, 15), D4);
}

TEST_F(GridEditTest, EditScrollUp_RotatesColumnUp) {
  song.SetCellData(1, 0, C4);
  song.SetCellData(1, 1, D4);
  EXPECT_EQ(Rotate(false, At(1, 4)), At(1, 4).cursorRow - 1);
  EXPECT_EQ(Cell(1, 0), D4);
  EXPECT_EQ(Cell(1, 15), C4);
}

TEST_F(GridEditTest, EditScroll_AtTheEnds_DoesNothing) {
  song.SetCellData(1, 0, C4);
  EXPECT_EQ(Rotate(true, At(1, 15)), -1);
  EXPECT_EQ(Rotate(false, At(1, 0)), -1);
  EXPECT_EQ(Cell(1, 0), C4);
  EXPECT_FALSE(edit.Clipboard().ClipFilled);
  EXPECT_FALSE(CanUndo());
}

TEST_F(GridEditTest, EditScrollDown_OrderGrid_RotatesAll256Positions) {
  song.SetOrder(0, 0, 5);
  song.SetOrder(0, 255, 6);
  EXPECT_EQ(Rotate(true, At(0, 10, EditorGrid::Order)), 12);
  EXPECT_EQ(song.GetOrder(0, 0), 6);
  EXPECT_EQ(song.GetOrder(0, 1), 5);
  EXPECT_EQ(song.GetOrder(0, 255), OrderEmpty);
}

}  // namespace
}  // namespace varnel
