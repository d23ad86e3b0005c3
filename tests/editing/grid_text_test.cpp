// The texts and column widths of the pattern grid and the order grid.
#include "editing/grid_text.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "song/song.h"
#include "support/song_builders.h"

namespace varnel {
namespace {

// A monospaced font 8 pixels per character: W = width("C#0") + 10 = 34.
int Width(const std::string& text) { return int(text.size()) * 8; }
constexpr int W = 34;

class GridText : public ::testing::Test {
 protected:
  void SetUp() override { test::MakeSong(song, 3, 64); }
  // Channel index 2 gets a velocity track and a second note track: tracks 2, 3, 4.
  void AddChannelTwoTracks() {
    ASSERT_TRUE(song.AddTrack(2, ttVelocity, -1, -1));
    ASSERT_TRUE(song.AddTrack(3, ttNote, -1, -1));
  }
  TVNSong song;
};

TEST(RowNumbers, DecimalAndHex_PadToTwoDigits) {
  EXPECT_EQ(RowNumberText(0, RowNumbersDecimal, 4), "00");
  EXPECT_EQ(RowNumberText(5, RowNumbersDecimal, 4), "05");
  EXPECT_EQ(RowNumberText(100, RowNumbersDecimal, 4), "100");
  EXPECT_EQ(RowNumberText(10, RowNumbersHex, 4), "0A");
  EXPECT_EQ(RowNumberText(255, RowNumbersHex, 4), "FF");
  EXPECT_EQ(RowNumberText(7, 9, 4), "07");  // an unknown format reads as decimal
}

TEST(RowNumbers, BarMarks_Spd4_NumberBarsAndMarkBeats) {
  const std::pair<int, const char*> cases[] = {
      {0, "*1*"},  {16, "*2*"}, {32, "*3*"}, {4, "  *"}, {8, "  *"},
      {12, "  *"}, {1, "  "},   {15, "  "},  {17, "  "}, {160, "*11*"},
  };
  for (auto [row, text] : cases) EXPECT_EQ(RowNumberText(row, RowNumbersBars, 4), text) << "row " << row;
}

TEST(RowNumbers, Beats_Spd4_CountBarBeatAndRow) {
  struct Case {
    int format, row;
    const char* text;
  };
  const Case cases[] = {
      {RowNumbersBeatsFrom0, 0, "0 0 0"},    {RowNumbersBeatsFrom0, 5, "      1"}, {RowNumbersBeatsFrom0, 20, "1 1 0"},
      {RowNumbersBeatsFrom0, 15, "      3"}, {RowNumbersBeatsFrom0, 28, "1 3 0"},  {RowNumbersBeatsFrom1, 0, "1 1 1"},
      {RowNumbersBeatsFrom1, 1, "      2"},  {RowNumbersBeatsFrom1, 20, "2 2 1"},
  };
  for (const Case& c : cases) EXPECT_EQ(RowNumberText(c.row, c.format, 4), c.text) << c.format << " row " << c.row;
}

TEST(RowNumbers, SpdZeroOrOne_CountsEveryRowAsABeat) {
  EXPECT_EQ(RowNumberText(5, RowNumbersBeatsFrom0, 0), RowNumberText(5, RowNumbersBeatsFrom0, 1));
  EXPECT_EQ(RowNumberText(5, RowNumbersBeatsFrom0, 1), "1 1 0");
  EXPECT_EQ(RowNumberText(4, RowNumbersBars, 0), "*2*");
  EXPECT_EQ(RowNumberText(3, RowNumbersBars, 1), "  *");
}

TEST(ColumnWidths, RowNumberColumn_ByFormatAndLength) {
  EXPECT_EQ(PatternRowNumberWidth(W, RowNumbersDecimal, 65), W - 8);   // 64 rows
  EXPECT_EQ(PatternRowNumberWidth(W, RowNumbersDecimal, 101), W - 8);  // 100 rows
  EXPECT_EQ(PatternRowNumberWidth(W, RowNumbersDecimal, 102), W);      // 101 rows
  EXPECT_EQ(PatternRowNumberWidth(W, RowNumbersDecimal, 129), W);      // 128 rows
  EXPECT_EQ(PatternRowNumberWidth(W, RowNumbersBars, 129), W);
  EXPECT_EQ(PatternRowNumberWidth(W, RowNumbersHex, 257), W - 8);
  for (int rows : {2, 65, 257}) {
    EXPECT_EQ(PatternRowNumberWidth(W, RowNumbersBeatsFrom0, rows), W + 8);
    EXPECT_EQ(PatternRowNumberWidth(W, RowNumbersBeatsFrom1, rows), W + 8);
  }
}

TEST(ColumnWidths, TrackColumns_ByType) {
  EXPECT_EQ(BaseCellWidth(Width), W);
  EXPECT_EQ(PatternTrackWidth(W, ttNote, -1, false, Width), W);
  for (int type : {1, 2, 3, 4, 12, 13, 14, 17, 18}) {
    EXPECT_EQ(PatternTrackWidth(W, type, 7, false, Width), W - 4) << type;
    EXPECT_EQ(PatternTrackWidth(W, type, 7, true, Width), W - 11) << type;
  }
  // NRPN and RPN: the larger of W and width("c" + parameter) + 8.
  EXPECT_EQ(PatternTrackWidth(W, ttNRPN, 5, false, Width), W);              // "c5": 24
  EXPECT_EQ(PatternTrackWidth(W, ttNRPN, 0x163, false, Width), 4 * 8 + 8);  // "c355": 40
  EXPECT_EQ(PatternTrackWidth(W, ttRPN, 16383, false, Width), 6 * 8 + 8);   // "c16383": 56
  EXPECT_EQ(PatternTrackWidth(W, ttRPN, 16383, true, Width), 5 * 8 + 8);    // "c3FFF": 48
}

TEST_F(GridText, PatternColumnWidths_OneEntryPerGridColumn) {
  ASSERT_TRUE(song.AddTrack(0, ttNRPN, 0x163, -1));
  ASSERT_TRUE(song.AddTrack(1, ttTempo, -1, -1));
  // Note columns hold "C#10" (32 + 6 pixels of inset), the hex tempo column its header "Tmp".
  EXPECT_EQ(PatternColumnWidths(song, W, RowNumbersDecimal, Width), (std::vector<int>{W - 8, 38, 40, W - 4, 38, 38}));
  EXPECT_EQ(PatternColumnWidths(song, W, RowNumbersHex, Width), (std::vector<int>{W - 8, 38, 40, 30, 38, 38}));
  song.SetLastRow(127);
  EXPECT_EQ(PatternColumnWidths(song, W, RowNumbersDecimal, Width)[0], W);
  EXPECT_EQ(PatternGridRowCount(song), 129);
  EXPECT_EQ(PatternGridColCount(song), 6);
}

// Every text a column can show fits in it with the 3-pixel inset (4 in the fixed column) and 2 to
// spare: notes up to G-10, every header, every row-number format, in both number modes.
TEST_F(GridText, PatternColumnWidths_EveryTextFits) {
  ASSERT_TRUE(song.AddTrack(0, ttProgram, -1, -1));
  ASSERT_TRUE(song.AddTrack(0, ttRPN, 16383, -1));
  ASSERT_TRUE(song.AddTrack(0, ttControlChange, 127, -1));
  ASSERT_TRUE(song.AddTrack(0, ttTempo, -1, -1));
  song.SetLastRow(255);
  song.SPD = 16;
  for (int note = 120; note < 128; ++note) song.SetCellData(0, note, note);
  for (int format = RowNumbersDecimal; format <= RowNumbersBeatsFrom1; ++format) {
    song.HexNumbers = IsHexDisplay(format);
    const std::vector<int> widths = PatternColumnWidths(song, W, format, Width);
    for (int col = 0; col < PatternGridColCount(song); ++col) {
      int widest = 0;
      for (int row = 0; row < PatternGridRowCount(song); ++row)
        widest = std::max(widest, Width(PatternGridText(song, col, row, format)));
      EXPECT_GE(widths[size_t(col)], widest + 6) << "format " << format << " column " << col;
    }
  }
  EXPECT_EQ(PatternGridText(song, 1, 128, RowNumbersDecimal), "G-10");
}

TEST_F(GridText, Headers_NoteVelocityNote_ShowChannelVAndBlank) {
  AddChannelTwoTracks();
  EXPECT_EQ(PatternGridText(song, 3, 0, RowNumbersDecimal), "3");
  EXPECT_EQ(PatternGridText(song, 4, 0, RowNumbersDecimal), "V");
  EXPECT_EQ(PatternGridText(song, 5, 0, RowNumbersDecimal), "");
  EXPECT_EQ(PatternGridText(song, 1, 0, RowNumbersDecimal), "1");
  EXPECT_EQ(PatternGridText(song, 0, 0, RowNumbersDecimal), "");  // the corner
}

TEST_F(GridText, Headers_EveryTypeLabel) {
  const std::pair<int, const char*> labels[] = {
      {ttPan, "Pan"},       {ttChannelVolume, "CVo"}, {ttModulation, "Mod"}, {ttExpression, "Exp"},
      {ttSustain, "Sus"},   {ttReverb, "Rev"},        {ttChorus, "Cho"},     {ttFilterCut, "FCu"},
      {ttFilterRes, "FRe"}, {ttPitchWheel, "Pit"},    {ttProgram, "PRG"},    {ttTempo, "Tmp"},
  };
  for (auto [type, label] : labels) {
    ASSERT_TRUE(song.AddTrack(0, type, -1, -1));
    EXPECT_EQ(TrackHeaderText(song, 1, false), label) << type;
    ASSERT_TRUE(song.DeleteTrack(1));
  }
}

TEST_F(GridText, Headers_ParameterTracks_InHexAndDecimal) {
  ASSERT_TRUE(song.AddTrack(0, ttNRPN, 0x163, -1));
  ASSERT_TRUE(song.AddTrack(1, ttControlChange, 7, -1));
  ASSERT_TRUE(song.AddTrack(2, ttRPN, 0, -1));
  EXPECT_EQ(PatternGridText(song, 2, 0, RowNumbersHex), "n163");
  EXPECT_EQ(PatternGridText(song, 2, 0, RowNumbersDecimal), "n355");
  EXPECT_EQ(PatternGridText(song, 3, 0, RowNumbersHex), "c07");
  EXPECT_EQ(PatternGridText(song, 3, 0, RowNumbersBars), "c7");
  EXPECT_EQ(PatternGridText(song, 4, 0, RowNumbersHex), "r00");
  EXPECT_EQ(PatternGridText(song, 4, 0, RowNumbersDecimal), "r0");
}

TEST_F(GridText, DataCells_EmptyValuesBlank_ValuesPadded) {
  ASSERT_TRUE(song.AddTrack(0, ttTempo, -1, -1));
  ASSERT_TRUE(song.AddTrack(1, ttControlChange, 7, -1));
  song.SetCellData(0, 0, 60);
  song.SetCellData(2, 1, 0);
  song.SetCellData(2, 2, 127);
  song.SetCellData(1, 3, 128);
  EXPECT_EQ(PatternGridText(song, 1, 1, RowNumbersDecimal), "C-5");
  EXPECT_EQ(PatternGridText(song, 1, 2, RowNumbersDecimal), "   ");
  EXPECT_EQ(PatternGridText(song, 2, 1, RowNumbersDecimal), "");  // tempo 0
  EXPECT_EQ(PatternGridText(song, 3, 1, RowNumbersDecimal), "");  // controller 128
  EXPECT_EQ(PatternGridText(song, 3, 2, RowNumbersDecimal), "00");
  EXPECT_EQ(PatternGridText(song, 3, 3, RowNumbersDecimal), "127");
  EXPECT_EQ(PatternGridText(song, 2, 4, RowNumbersDecimal), "128");  // a tempo of 128
  song.HexNumbers = true;
  EXPECT_EQ(PatternGridText(song, 3, 3, RowNumbersHex), "7F");
  EXPECT_EQ(PatternGridText(song, 2, 4, RowNumbersHex), "80");
}

TEST_F(GridText, RowNumberColumn_UsesTheSongsSpd) {
  song.SPD = 3;
  EXPECT_EQ(PatternGridText(song, 0, 1, RowNumbersBars), "*1*");
  EXPECT_EQ(PatternGridText(song, 0, 4, RowNumbersBars), "  *");
  EXPECT_EQ(PatternGridText(song, 0, 13, RowNumbersBars), "*2*");
  EXPECT_EQ(PatternGridText(song, 0, 11, RowNumbersHex), "0A");
}

TEST_F(GridText, CellsOutsideTheGrid_ReadEmpty) {
  EXPECT_EQ(PatternGridText(song, 4, 0, RowNumbersDecimal), "");
  EXPECT_EQ(PatternGridText(song, 4, 1, RowNumbersDecimal), "");
  EXPECT_EQ(PatternGridText(song, -1, 1, RowNumbersDecimal), "");
  EXPECT_EQ(PatternGridText(song, 1, 300, RowNumbersDecimal), "");
  EXPECT_EQ(OrderGridText(song, 4, 1, false), "");
  EXPECT_EQ(OrderGridText(song, 1, 257, false), "");
  EXPECT_EQ(OrderGridText(song, 1, -1, false), "");
}

TEST_F(GridText, OrderGrid_HeadersAndRowNumbers) {
  EXPECT_EQ(OrderGridText(song, 0, 0, false), "");
  EXPECT_EQ(OrderGridText(song, 1, 0, false), "1");
  EXPECT_EQ(OrderGridText(song, 3, 0, true), "3");
  EXPECT_EQ(OrderGridText(song, 0, 27, true), "1A");  // position 26
  EXPECT_EQ(OrderGridText(song, 0, 27, false), "26");
  EXPECT_EQ(OrderGridText(song, 0, 1, false), "00");
  EXPECT_EQ(OrderGridText(song, 0, 256, false), "255");
  EXPECT_EQ(OrderGridText(song, 0, 256, true), "FF");
  EXPECT_EQ(OrderGridColCount(song), 4);
  EXPECT_EQ(OrderGridRowCount, 257);
}

TEST_F(GridText, OrderGrid_Cells) {
  song.SetOrder(0, 0, 5);
  song.SetOrder(1, 1, OrderNoteOff);
  song.SetOrder(2, 2, 200);
  ASSERT_EQ(song.OrderLength(), 3);
  for (bool hex : {false, true}) {
    SCOPED_TRACE(hex ? "hex" : "decimal");
    EXPECT_EQ(OrderGridText(song, 1, 1, hex), "05");
    EXPECT_EQ(OrderGridText(song, 2, 2, hex), " - ");
    EXPECT_EQ(OrderGridText(song, 3, 3, hex), "200");
    EXPECT_EQ(OrderGridText(song, 1, 2, hex), "");  // OrderEmpty
    for (int position = 3; position <= 255; ++position)
      ASSERT_EQ(OrderGridText(song, 1, position + 1, hex), "") << "position " << position;
  }
}

TEST_F(GridText, OrderColumnWidths_RowNumbersNarrowInHex) {
  EXPECT_EQ(OrderColumnWidths(song, W, false), (std::vector<int>{W, W, W, W}));
  EXPECT_EQ(OrderColumnWidths(song, W, true), (std::vector<int>{W - 8, W, W, W}));
}

}  // namespace
}  // namespace varnel
