// varnel-cli info: the JSON document and the text layout, run on songs saved by the core.
#include <gtest/gtest.h>

#include <set>

#include "cli/cli_support.h"
#include "song/text_encoding.h"

namespace varnel::test {
namespace {

// A song that sets every field the info command shows to something other than its default.
void BuildRichSong(TVNSong& song) {
  MakeSong(song, 3, 32);
  ASSERT_TRUE(song.AddTrack(0, ttVelocity, -1, -1));       // tracks: note, V (channel 0), note (1), note (2)
  ASSERT_TRUE(song.AddTrack(2, ttControlChange, 7, -1));   // c7 after channel 1's note track
  ASSERT_TRUE(song.InsertPattern(1, 16));
  song.SetOrder(0, 2, 1);
  song.SetOrder(1, 1, OrderNoteOff);
  song.SetOrder(2, 2, 0);
  song.StoreCell(0, 0, 0, 60);
  song.StoreCell(0, 0, 4, CellNoteOff);
  song.StoreCell(0, 1, 0, 100);
  song.StoreCell(0, 2, 31, 127);
  song.StoreCell(1, 3, 15, 64);
  song.StoreCell(1, 0, 20, 61);  // past pattern 1's last row: never saved
  song.BPM = 140;
  song.SPD = 6;
  song.GridAdd = 2;
  song.Octave = 3;
  song.SongMode = true;
  song.CurrentPattern = 1;
  song.KeyTone = 9;
  song.KeyType = 1;
  song.PatternLoopStart = 5;
  song.PatternLoopEnd = 12;
  song.OrderLoopStart = 1;
  song.OrderLoopEnd = 3;
  song.DeviceName = "Some Synth";
  song.Tag.Title = "Night Drive";
  song.Tag.Artist = "A. Person";
  song.Tag.Album = "Demo";
  song.Tag.Year = "2024";
  song.Tag.Genre = "Synthpop";
  song.Tag.Comments = "line one\r\nline two";
  song.Tag.ShowOnLoad = true;
  song.SetReleaseMode(0, 255);
  song.SetVelocity(1, 90);
  song.SetTranspose(1, -12);
  song.SetMidiChannel(2, 9);
  song.SetChannelOn(1, false);
  song.SetProgram(9, 25);
  song.SetMidiParam(0, 1, 64);
  song.SetProgram(20, 33);
  song.StoreBankSelect(0, 0, 1);
  song.StoreBankSelect(0, 1, 2);
}

std::string SaveRichSong() {
  TVNSong song;
  BuildRichSong(song);
  const std::string path = TempPath("rich.vnl");
  EXPECT_TRUE(song.SaveToFile(path));
  return path;
}

Json InfoJson(const std::vector<std::string>& args) {
  const CliResult run = RunCli(args);
  EXPECT_EQ(run.exit, 0) << run.err;
  EXPECT_EQ(run.err, "");
  return JsonReader::Parse(run.out);
}

TEST(InfoJson, RichSong_ReportsEveryFieldAsStored) {
  const std::string path = SaveRichSong();
  const Json doc = InfoJson({"info", path, "--json"});

  const std::pair<const char*, int64_t> numbers[] = {
      {"patterns", 2}, {"channels", 3}, {"tracks", 5}, {"order_length", 3}, {"bpm", 140},    {"spd", 6},
      {"grid_add", 2}, {"current_pattern", 1},          {"octave", 3},       {"key_tone", 9}, {"key_type", 1}};
  for (const auto& [name, value] : numbers) {
    EXPECT_EQ(doc[name].kind, Json::Number) << name;
    EXPECT_EQ(doc[name].number, value) << name;
  }
  EXPECT_EQ(doc["song_mode"].kind, Json::Bool);
  EXPECT_TRUE(doc["song_mode"].boolean);
  EXPECT_TRUE(doc["key_known"].boolean);
  EXPECT_EQ(doc["loops"].Ints(), (std::vector<int64_t>{5, 12, 1, 3}));
  EXPECT_EQ(doc["device"].text, "Some Synth");

  const Json& tag = doc["tag"];
  EXPECT_EQ(tag["title"].text, "Night Drive");
  EXPECT_EQ(tag["artist"].text, "A. Person");
  EXPECT_EQ(tag["album"].text, "Demo");
  EXPECT_EQ(tag["year"].text, "2024");
  EXPECT_EQ(tag["genre"].text, "Synthpop");
  EXPECT_EQ(tag["comments"].text, "line one\r\nline two");
  EXPECT_TRUE(tag["show_on_load"].boolean);

  const Json& channels = doc["channel_params"];
  ASSERT_EQ(channels.size(), 3u);
  EXPECT_EQ(channels[0].Ints(), (std::vector<int64_t>{0, 100, 255, 0}));
  EXPECT_EQ(channels[1].Ints(), (std::vector<int64_t>{1, 90, 0, 68}));
  EXPECT_EQ(channels[2].Ints(), (std::vector<int64_t>{9, 100, 0, 0}));
  ASSERT_EQ(doc["channel_on"].size(), 3u);
  EXPECT_TRUE(doc["channel_on"][0].boolean);
  EXPECT_FALSE(doc["channel_on"][1].boolean);
  EXPECT_EQ(doc["channel_on"][1].kind, Json::Bool);

  const Json& presets = doc["midi_channel_params"];
  ASSERT_EQ(presets.size(), 48u);
  for (size_t m = 0; m < 48; ++m) EXPECT_EQ(presets[m].size(), 10u) << m;
  EXPECT_EQ(presets[0].Ints(), (std::vector<int64_t>{0, 64, 255, 255, 255, 255, 255, 255, 255, 255}));
  EXPECT_EQ(presets[9][0].number, 25);
  EXPECT_EQ(presets[20][0].number, 33);  // a channel of the upper blocks, stored since version 106
  const Json& banks = doc["bank_select"];
  ASSERT_EQ(banks.size(), 48u);
  EXPECT_EQ(banks[0].Ints(), (std::vector<int64_t>{1, 2}));
  EXPECT_EQ(banks[1].Ints(), (std::vector<int64_t>{128, 128}));
  EXPECT_EQ(banks[47].Ints(), (std::vector<int64_t>{128, 128}));

  const Json& order = doc["order"];
  ASSERT_EQ(order.size(), 3u);
  EXPECT_EQ(order[0].Ints(), (std::vector<int64_t>{0, 256, 1}));
  EXPECT_EQ(order[1].Ints(), (std::vector<int64_t>{0, 257, 256}));
  EXPECT_EQ(order[2].Ints(), (std::vector<int64_t>{0, 256, 0}));
  EXPECT_EQ(doc["track_type"].Ints(), (std::vector<int64_t>{0, 1, 0, 14, 0}));
  EXPECT_EQ(doc["track_channel"].Ints(), (std::vector<int64_t>{0, 0, 1, 1, 2}));
  ASSERT_EQ(doc["track_param"].size(), 5u);
  EXPECT_EQ(doc["track_param"][3].number, 7);
  EXPECT_EQ(doc["last_row"].Ints(), (std::vector<int64_t>{31, 15}));
  EXPECT_FALSE(doc.Has("cells"));
}

TEST(InfoJson, MemberNames_AreExactlyTheDocumentedSet) {
  const std::string path = SaveRichSong();
  std::set<std::string> expected = {"patterns", "channels", "tracks", "order_length", "bpm", "spd", "grid_add",
                                    "current_pattern", "song_mode", "octave", "key_tone", "key_type", "key_known",
                                    "loops", "device", "tag", "channel_params", "channel_on", "midi_channel_params",
                                    "bank_select", "order", "track_type", "track_channel", "track_param", "last_row"};
  const auto names = [](const Json& object) {
    std::set<std::string> result;
    for (const auto& member : object.members) result.insert(member.first);
    return result;
  };
  const Json plain = InfoJson({"info", path, "--json"});
  EXPECT_EQ(names(plain), expected);
  EXPECT_EQ(names(plain["tag"]),
            (std::set<std::string>{"title", "artist", "album", "year", "genre", "comments", "show_on_load"}));
  expected.insert("cells");
  EXPECT_EQ(names(InfoJson({"info", "--cells", path, "--json"})), expected);
}

TEST(InfoJson, Cells_ArePatternTrackRowUpToEachLastRow) {
  const std::string path = SaveRichSong();
  const Json cells = InfoJson({"info", path, "--json", "--cells"})["cells"];
  TVNSong song;
  ASSERT_TRUE(song.LoadFromFile(path));
  ASSERT_EQ(cells.size(), 2u);
  for (int p = 0; p < 2; ++p) {
    ASSERT_EQ(cells[p].size(), 5u);
    for (int t = 0; t < 5; ++t) {
      ASSERT_EQ(cells[p][t].size(), size_t(song.LastRow(p)) + 1) << p << " " << t;
      for (int r = 0; r <= song.LastRow(p); ++r) EXPECT_EQ(cells[p][t][r].number, song.CellData(p, t, r));
    }
  }
  EXPECT_EQ(cells[0][0][0].number, 60);
  EXPECT_EQ(cells[0][0][4].number, CellNoteOff);
  EXPECT_EQ(cells[0][1][0].number, 100);
  EXPECT_EQ(cells[0][2][31].number, 127);
  EXPECT_EQ(cells[1][3][15].number, 64);
  EXPECT_EQ(cells[1][0][1].number, CellEmpty);
}

TEST(InfoJson, CodePageAndControlText_IsValidUtf8AndReadsBack) {
  TVNSong song;
  MakeSong(song, 1, 16);
  song.Tag.Title = "\xCF\xF0\xE8\xE2\xE5\xF2";           // "Privet" in code page 1251
  song.Tag.Artist = "Caf\xC3\xA9 \xE2\x99\xAB";         // already UTF-8: kept as it is
  song.Tag.Album = "a\x01\"b\\\t\x1F\x7F";
  song.Tag.Year = std::string("1\0" "9", 3);
  song.Tag.Genre = "\x81\x8D\x8F\x90\x9D";              // bytes Windows-1252 leaves undefined
  song.Tag.Comments = "\xC0\xE1\xE2\r\n";
  song.DeviceName = LocalizedSynthName;                 // the file carries the English name
  const std::string path = TempPath("text.vnl");
  ASSERT_TRUE(song.SaveToFile(path));

  const CliResult run = RunCli({"info", "--json", path});
  ASSERT_EQ(run.exit, 0) << run.err;
  Json doc;
  ASSERT_NO_THROW(doc = JsonReader::Parse(run.out)) << run.out;
  EXPECT_EQ(doc["tag"]["title"].text, "\xC3\x8F\xC3\xB0\xC3\xA8\xC3\xA2\xC3\xA5\xC3\xB2");  // as Windows-1252
  EXPECT_EQ(doc["tag"]["artist"].text, "Caf\xC3\xA9 \xE2\x99\xAB");
  EXPECT_EQ(doc["tag"]["album"].text, "a\x01\"b\\\t\x1F\x7F");
  EXPECT_EQ(doc["tag"]["year"].text, std::string("1\0" "9", 3));
  EXPECT_FALSE(doc["tag"]["genre"].text.empty());
  EXPECT_EQ(doc["tag"]["comments"].text, "\xC3\x80\xC3\xA1\xC3\xA2\r\n");
  EXPECT_EQ(doc["device"].text, "Microsoft GS Wavetable Synth");
}

TEST(InfoText, RichSong_ShowsTheSongTheWayTheEditorDoes) {
  const std::string path = SaveRichSong();
  const CliResult run = RunCli({"info", path});
  ASSERT_EQ(run.exit, 0) << run.err;
  EXPECT_EQ(run.err, "");
  for (const char* text : {"140 BPM, 6 rows per beat", "Night Drive", "A minor", "Some Synth", "line two",
                           "rows 4..11", "positions 0..2", "c7", "Control change"})
    EXPECT_NE(run.out.find(text), std::string::npos) << text << "\n" << run.out;
  EXPECT_EQ(run.out.find("C-5"), std::string::npos) << "cells only with --cells";

  const CliResult cells = RunCli({"info", path, "--cells"});
  ASSERT_EQ(cells.exit, 0) << cells.err;
  EXPECT_NE(cells.out.find("\n   00 C-5  100"), std::string::npos) << cells.out;
  EXPECT_NE(cells.out.find("\n   04  - "), std::string::npos) << cells.out;
  EXPECT_NE(cells.out.find("G-10"), std::string::npos) << cells.out;
  const size_t lastPattern = cells.out.find("Pattern 1 (16 rows)");
  ASSERT_NE(lastPattern, std::string::npos);
  EXPECT_NE(cells.out.find("\n   15", lastPattern), std::string::npos);
  EXPECT_EQ(cells.out.find("\n   16", lastPattern), std::string::npos) << "rows past the last row are not shown";
}

TEST(InfoText, ControlCharactersInSongText_NeverReachTheTerminal) {
  TVNSong song;
  MakeSong(song, 1, 16);
  song.Tag.Title = "evil\x1B]0;title\x07\xC2\x9B" "31m";
  const std::string path = TempPath("escape.vnl");
  ASSERT_TRUE(song.SaveToFile(path));
  const CliResult run = RunCli({"info", path});
  ASSERT_EQ(run.exit, 0) << run.err;
  EXPECT_EQ(run.out.find('\x1B'), std::string::npos);
  EXPECT_EQ(run.out.find('\x07'), std::string::npos);
  EXPECT_EQ(run.out.find("\xC2\x9B"), std::string::npos);
  EXPECT_NE(run.out.find("evil?]0;title?"), std::string::npos) << run.out;
}

TEST(InfoVerbose, StatusTexts_GoToStandardErrorOnlyWhenAsked) {
  const std::string path = SaveRichSong();
  const CliResult quiet = RunCli({"info", path, "--json"});
  const CliResult verbose = RunCli({"--verbose", "info", path, "--json"});
  ASSERT_EQ(quiet.exit, 0);
  ASSERT_EQ(verbose.exit, 0);
  EXPECT_EQ(quiet.err, "");
  EXPECT_NE(verbose.err.find("Loading " + path), std::string::npos) << verbose.err;
  EXPECT_EQ(verbose.out, quiet.out);
}

}  // namespace
}  // namespace varnel::test
