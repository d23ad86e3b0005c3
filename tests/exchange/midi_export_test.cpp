// MIDI file export: exact bytes against the worked example and the edge cases, checked again by
// python3-mido reading every file written.
#include "exchange/midi_export.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "exchange/midi_export_mido.h"
#include "support/recording_reporter.h"
#include "support/song_builders.h"

namespace varnel::test {
namespace {

std::string Hex(const uint8_t* data, size_t size) {
  std::string text;
  char digits[4];
  for (size_t i = 0; i < size; ++i) {
    std::snprintf(digits, sizeof digits, i ? " %02X" : "%02X", data[i]);
    text += digits;
  }
  return text;
}
std::string Hex(const std::vector<uint8_t>& bytes) { return Hex(bytes.data(), bytes.size()); }

// The data of each track chunk; fails the test on a malformed layout.
std::vector<std::vector<uint8_t>> TrackChunks(const std::vector<uint8_t>& file) {
  std::vector<std::vector<uint8_t>> chunks;
  EXPECT_GE(file.size(), 14u);
  if (file.size() < 14) return chunks;
  EXPECT_EQ(Hex(file.data(), 10), "4D 54 68 64 00 00 00 06 00 01");
  EXPECT_EQ(Hex(file.data() + 12, 2), "01 80");
  const size_t count = size_t(file[10]) << 8 | file[11];
  size_t at = 14;
  while (at + 8 <= file.size()) {
    EXPECT_EQ(std::string(file.begin() + ptrdiff_t(at), file.begin() + ptrdiff_t(at) + 4), "MTrk");
    const size_t length =
        size_t(file[at + 4]) << 24 | size_t(file[at + 5]) << 16 | size_t(file[at + 6]) << 8 | file[at + 7];
    at += 8;
    EXPECT_LE(at + length, file.size());
    if (at + length > file.size()) break;
    chunks.emplace_back(file.begin() + ptrdiff_t(at), file.begin() + ptrdiff_t(at + length));
    at += length;
  }
  EXPECT_EQ(at, file.size());
  EXPECT_EQ(chunks.size(), count);
  return chunks;
}

// Exports through ExportMidi to a fresh file; the bytes must be those EncodeMidiFile builds.
struct Exported {
  std::string path;
  std::vector<uint8_t> bytes;
  std::vector<std::vector<uint8_t>> tracks;
  std::string Track(size_t i) const {
    return i < tracks.size() ? Hex(tracks[i]) : "(no track " + std::to_string(i) + ")";
  }
};

Exported Export(TVNSong& song, bool wholeSong, const std::string& name) {
  Exported e;
  e.path = TempPath(name + ".mid");
  EXPECT_TRUE(ExportMidi(song, e.path, wholeSong));
  e.bytes = ReadFile(e.path);
  EXPECT_EQ(Hex(e.bytes), Hex(EncodeMidiFile(song, wholeSong)));
  e.tracks = TrackChunks(e.bytes);
  return e;
}

constexpr const char* TempoTrack120 = "00 FF 51 03 07 A1 20 00 FF 2F 00";
constexpr const char* End = "00 FF 2F 00";

// Appends a track of the given type at the end of the song's last channel.
void Append(TVNSong& song, int type, int param = -1) {
  ASSERT_TRUE(song.AddTrack(song.TracksCount() - 1, type, param, -1));
}

TEST(MidiExport, WorkedExample_WritesExactlyTheDescribedFile) {
  for (const bool whole : {false, true}) {
    SCOPED_TRACE(whole ? "song" : "pattern");
    TVNSong song;
    MakeSong(song, 1, 16);
    song.StoreCell(0, 0, 0, 60);
    const Exported e = Export(song, whole, whole ? "example_song" : "example_pattern");
    EXPECT_EQ(Hex(e.bytes),
              "4D 54 68 64 00 00 00 06 00 01 00 02 01 80 "
              "4D 54 72 6B 00 00 00 0B 00 FF 51 03 07 A1 20 00 FF 2F 00 "
              "4D 54 72 6B 00 00 00 10 00 C0 00 00 90 3C 64 8B 7C 80 3C 00 00 FF 2F 00");
    ExpectMidoSees(e.path, 2, {"1 0 note_on 0 60 100", "1 1532 note_off 0 60 0"});
  }
}

TEST(MidiExport, SixteenChannelSong_WritesSeventeenChunksMutedAndEmptyOnesWithThePreambleOnly) {
  TVNSong song;
  MakeSong(song, 16, 16);
  song.StoreCell(0, 0, 0, 60);
  song.StoreCell(0, 5, 0, 62);
  for (int channel = 3; channel < 16; channel += 2) song.SetChannelOn(channel, false);
  song.SetChannelOn(5, false);
  const Exported e = Export(song, true, "sixteen");
  ASSERT_EQ(e.tracks.size(), 17u);
  EXPECT_EQ(Hex(e.bytes.data() + 10, 2), "00 11");
  EXPECT_EQ(e.Track(0), TempoTrack120);
  EXPECT_EQ(e.Track(1), "00 C0 00 00 90 3C 64 8B 7C 80 3C 00 00 FF 2F 00");
  for (int channel = 1; channel < 16; ++channel) {
    char program[16];
    std::snprintf(program, sizeof program, "00 C%X 00 ", channel);
    EXPECT_EQ(e.Track(size_t(channel) + 1), program + std::string(End)) << "channel " << channel;
  }
  ExpectMidoSees(e.path, 17, {"1 0 note_on 0 60 100", "1 1532 note_off 0 60 0"});
}

struct RunningStatusCase {
  const char* name;
  std::vector<int> types;               // after the first note track of channel 0
  std::vector<std::vector<int>> cells;  // per track: {row, value} pairs flattened
  const char* track;                    // the channel's file track
  std::vector<std::string> notes;
};

TEST(MidiExport, RunningStatus_OnlyForStartsOrReleasesOfOneRow) {
  const RunningStatusCase cases[] = {
      {"two starts in one row share the status",
       {ttNote},
       {{0, 60}, {0, 64}},
       "00 C0 00 00 90 3C 64 00 40 64 8B 7C 80 3C 00 00 40 00 00 FF 2F 00",
       {"1 0 note_on 0 60 100", "1 0 note_on 0 64 100", "1 1532 note_off 0 60 0", "1 1532 note_off 0 64 0"}},
      {"a controller between two starts",
       {ttPan, ttNote},
       {{0, 60}, {0, 10}, {0, 64}},
       "00 C0 00 00 90 3C 64 00 B0 0A 0A 00 90 40 64 8B 7C 80 3C 00 00 40 00 00 FF 2F 00",
       {"1 0 note_on 0 60 100", "1 0 note_on 0 64 100", "1 1532 note_off 0 60 0", "1 1532 note_off 0 64 0"}},
      {"starts in different rows",
       {ttNote},
       {{0, 60}, {4, 64}},
       "00 C0 00 00 90 3C 64 83 00 90 40 64 88 7C 80 3C 00 00 40 00 00 FF 2F 00",
       {"1 0 note_on 0 60 100", "1 384 note_on 0 64 100", "1 1532 note_off 0 60 0", "1 1532 note_off 0 64 0"}},
      {"releases in different rows",
       {ttNote},
       {{0, 60, 4, CellNoteOff}, {0, 64, 8, CellNoteOff}},
       "00 C0 00 00 90 3C 64 00 40 64 82 7C 80 3C 00 83 00 80 40 00 "
       "86 00 80 3C 00 00 40 00 00 FF 2F 00",
       {"1 0 note_on 0 60 100", "1 0 note_on 0 64 100", "1 380 note_off 0 60 0", "1 764 note_off 0 64 0",
        "1 1532 note_off 0 60 0", "1 1532 note_off 0 64 0"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    TVNSong song;
    MakeSong(song, 1, 16);
    for (int type : c.types) Append(song, type);
    for (size_t t = 0; t < c.cells.size(); ++t)
      for (size_t k = 0; k + 1 < c.cells[t].size(); k += 2) song.StoreCell(0, int(t), c.cells[t][k], c.cells[t][k + 1]);
    const Exported e = Export(song, false, "running");
    EXPECT_EQ(e.Track(1), c.track);
    ExpectMidoSees(e.path, 2, c.notes);
  }
}

TEST(MidiExport, DaReleases_KeepTheNotesUntilANoteOffCellWhichEndsThemAll) {
  struct Case {
    int releaseMode;
    const char* track;
    std::vector<std::string> notes;
  };
  const Case cases[] = {
      {0,
       "00 C0 00 00 90 3C 64 82 7C 80 3C 00 04 90 3E 64 82 7C 80 3E 00 86 00 80 3E 00 00 FF 2F 00",
       {"1 0 note_on 0 60 100", "1 380 note_off 0 60 0", "1 384 note_on 0 62 100", "1 764 note_off 0 62 0",
        "1 1532 note_off 0 62 0"}},
      // The note-off cell ends every note the track started since its last release.
      {255,
       "00 C0 00 00 90 3C 64 83 00 90 3E 64 82 7C 80 3C 00 00 3E 00 86 00 80 3E 00 00 FF 2F 00",
       {"1 0 note_on 0 60 100", "1 384 note_on 0 62 100", "1 764 note_off 0 60 0", "1 764 note_off 0 62 0",
        "1 1532 note_off 0 62 0"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.releaseMode);
    TVNSong song;
    MakeSong(song, 1, 16);
    song.SetReleaseMode(0, uint8_t(c.releaseMode));
    song.StoreCell(0, 0, 0, 60);
    song.StoreCell(0, 0, 4, 62);
    song.StoreCell(0, 0, 8, CellNoteOff);
    const Exported e = Export(song, false, "da");
    EXPECT_EQ(e.Track(1), c.track);
    ExpectMidoSees(e.path, 2, c.notes);
  }
}

// Channel 0 plays a 16-row pattern, channel 1 a 32-row one, at three order positions.
void MakeSixteenAndThirtyTwo(TVNSong& song) {
  MakeSong(song, 2, 16);
  ASSERT_TRUE(song.InsertPattern(1, 32));
  for (int position = 0; position < 3; ++position) {
    song.SetOrder(0, position, 0);
    song.SetOrder(1, position, 1);
  }
  song.StoreCell(0, 0, 0, 60);
  song.StoreCell(1, 1, 15, 67);
  song.StoreCell(1, 1, 16, 69);  // past the shortest pattern: never reached
}

TEST(MidiExport, PatternsOfSixteenAndThirtyTwoRows_ExportSixteenRowsPerPositionPlusTheReleaseRow) {
  TVNSong song;
  MakeSixteenAndThirtyTwo(song);
  const Exported e = Export(song, true, "sixteen_32");
  EXPECT_EQ(e.Track(1),
            "00 C0 00 00 90 3C 64 8B 7C 80 3C 00 04 90 3C 64 8B 7C 80 3C 00 04 90 3C 64 8B 7C 80 3C 00 00 FF 2F 00");
  EXPECT_EQ(e.Track(2),
            "00 C1 00 8B 20 91 43 64 8B 7C 81 43 00 04 91 43 64 8B 7C 81 43 00 04 91 43 64 5C 81 43 00 00 FF 2F 00");
  ExpectMidoSees(
      e.path, 3,
      {"1 0 note_on 0 60 100", "1 1532 note_off 0 60 0", "1 1536 note_on 0 60 100", "1 3068 note_off 0 60 0",
       "1 3072 note_on 0 60 100", "1 4604 note_off 0 60 0", "2 1440 note_on 1 67 100", "2 2972 note_off 1 67 0",
       "2 2976 note_on 1 67 100", "2 4508 note_off 1 67 0", "2 4512 note_on 1 67 100", "2 4604 note_off 1 67 0"});
}

TEST(MidiExport, MutedChannelWithTheShortestPattern_StillDecidesThePositionLength) {
  TVNSong song;
  MakeSixteenAndThirtyTwo(song);
  song.SetChannelOn(0, false);
  const Exported e = Export(song, true, "muted_shortest");
  EXPECT_EQ(e.Track(1), "00 C0 00 00 FF 2F 00");
  EXPECT_EQ(e.Track(2),
            "00 C1 00 8B 20 91 43 64 8B 7C 81 43 00 04 91 43 64 8B 7C 81 43 00 04 91 43 64 5C 81 43 00 00 FF 2F 00");
  ExpectMidoSees(e.path, 3,
                 {"2 1440 note_on 1 67 100", "2 2972 note_off 1 67 0", "2 2976 note_on 1 67 100",
                  "2 4508 note_off 1 67 0", "2 4512 note_on 1 67 100", "2 4604 note_off 1 67 0"});
}

TEST(MidiExport, Preamble_WritesBankProgramAndOnlyTheSetPresets) {
  TVNSong song;
  MakeSong(song, 3, 16);
  song.StoreBankSelect(1, 0, 5);  // MSB only
  song.SetProgram(1, 10);
  song.SetMidiParam(1, 1, 30);  // pan
  song.SetMidiParam(1, 2, 90);  // channel volume
  song.SetMidiParam(1, 9, 3);   // filter resonance
  song.StoreCell(0, 1, 0, 60);
  song.SetChannelOn(1, false);    // muted: the preamble only
  song.StoreBankSelect(2, 1, 7);  // LSB only
  song.SetProgram(2, 200);        // no program can be sent
  const Exported e = Export(song, true, "preamble");
  EXPECT_EQ(e.Track(1), "00 C0 00 00 FF 2F 00");
  EXPECT_EQ(e.Track(2), "00 B1 00 05 00 B1 20 00 00 C1 0A 00 B1 0A 1E 00 B1 07 5A 00 B1 47 03 00 FF 2F 00");
  EXPECT_EQ(e.Track(3), "00 B2 00 00 00 B2 20 07 00 FF 2F 00");
  ExpectMidoSees(e.path, 4,
                 {"1 0 program_change 0 0", "2 0 control_change 1 0 5", "2 0 control_change 1 32 0",
                  "2 0 program_change 1 10", "2 0 control_change 1 10 30", "2 0 control_change 1 7 90",
                  "2 0 control_change 1 71 3", "3 0 control_change 2 0 0", "3 0 control_change 2 32 7"},
                 {"program_change", "control_change", "note_on", "note_off"});
}

TEST(MidiExport, TempoCells_WriteMetaEventsOnTheChannelTrack) {
  struct Case {
    int spd, cell;
    const char* tempoTrack;  // the song's own BPM 120 at this speed
    const char* microseconds;
  };
  const Case cases[] = {
      {4, 20, "07 A1 20", "2D C6 C0"},   // 240 000 000 / 20 / 4 = 3 000 000, no floor of 32
      {8, 254, "03 D0 90", "01 CD 5E"},  // 118 110
      {1, 15, "1E 84 80", "F4 24 00"},   // 16 000 000
      {1, 14, "1E 84 80", "FF FF FF"},   // 17 142 857 does not fit three bytes: the slowest there is
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.cell);
    TVNSong song;
    MakeSong(song, 1, 16);
    song.SPD = uint8_t(c.spd);
    Append(song, ttTempo);
    song.StoreCell(0, 1, 0, 0);
    song.StoreCell(0, 1, 1, 255);
    song.StoreCell(0, 1, 2, c.cell);
    const Exported e = Export(song, false, "tempo");
    EXPECT_EQ(e.Track(0), "00 FF 51 03 " + std::string(c.tempoTrack) + " " + End);
    EXPECT_EQ(e.Track(1), "00 C0 00 81 40 FF 51 03 " + std::string(c.microseconds) + " " + End);
    auto number = [](const char* hex) {
      return std::to_string(std::stoul(std::string(hex).erase(2, 1).erase(4, 1), nullptr, 16));
    };
    ExpectMidoSees(e.path, 2, {"0 0 set_tempo " + number(c.tempoTrack), "1 192 set_tempo " + number(c.microseconds)},
                   {"set_tempo"});
  }
}

TEST(MidiExport, AutomationTracks_WriteTheirMessagesAndDropInvalidParameters) {
  TVNSong song;
  MakeSong(song, 1, 16);
  const std::vector<std::pair<int, int>> tracks = {{ttNRPN, 300},         {ttRPN, 0},      {ttPitchWheel, -1},
                                                   {ttControlChange, 74}, {ttProgram, -1}, {ttControlChange, -1},
                                                   {ttNRPN, 20000},       {ttPan, -1},     {ttFilterRes, -1}};
  for (const auto& [type, param] : tracks) Append(song, type, param);
  const int values[] = {60, 5, 2, 64, 100, 7, 9, 9, 10, 11};
  for (int t = 0; t < 10; ++t) song.StoreCell(0, t, 0, values[t]);
  song.StoreCell(0, 8, 1, 200);  // not a controller value
  const Exported e = Export(song, false, "automation");
  EXPECT_EQ(e.Track(1),
            "00 C0 00 00 90 3C 64 "
            "00 B0 63 02 00 B0 62 2C 00 06 05 "
            "00 B0 65 00 00 B0 64 00 00 06 02 "
            "00 E0 00 40 00 B0 4A 64 00 C0 07 00 B0 0A 0A 00 B0 47 0B "
            "8B 7C 80 3C 00 00 FF 2F 00");
  ExpectMidoSees(e.path, 2,
                 {"1 0 program_change 0 0", "1 0 control_change 0 99 2", "1 0 control_change 0 98 44",
                  "1 0 control_change 0 6 5", "1 0 control_change 0 101 0", "1 0 control_change 0 100 0",
                  "1 0 control_change 0 6 2", "1 0 pitchwheel 0 0", "1 0 control_change 0 74 100",
                  "1 0 program_change 0 7", "1 0 control_change 0 10 10", "1 0 control_change 0 71 11"},
                 {"control_change", "pitchwheel", "program_change"});
}

TEST(MidiExport, Velocity_FromTheVelocityTrackElseTheChannelDefault) {
  TVNSong song;
  MakeSong(song, 2, 16);
  ASSERT_TRUE(song.AddTrack(0, ttVelocity, -1, -1));
  song.SetVelocity(0, 90);
  song.StoreCell(0, 0, 0, 60);
  song.StoreCell(0, 1, 0, 80);
  song.StoreCell(0, 0, 4, 62);  // empty velocity cell
  song.SetVelocity(1, 200);     // damaged: more than a data byte holds
  song.StoreCell(0, 2, 0, 72);
  const Exported e = Export(song, false, "velocity");
  EXPECT_EQ(e.Track(1), "00 C0 00 00 90 3C 50 82 7C 80 3C 00 04 90 3E 5A 88 7C 80 3E 00 00 FF 2F 00");
  EXPECT_EQ(e.Track(2), "00 C1 00 00 91 48 7F 8B 7C 81 48 00 00 FF 2F 00");
  ExpectMidoSees(e.path, 3,
                 {"1 0 note_on 0 60 80", "1 380 note_off 0 60 0", "1 384 note_on 0 62 90", "1 1532 note_off 0 62 0",
                  "2 0 note_on 1 72 127", "2 1532 note_off 1 72 0"});
}

TEST(MidiExport, NotesTransposedOutOfRange_AreNotWritten) {
  struct Case {
    int transpose, first, second;
    const char* track;
    std::vector<std::string> notes;
  };
  const Case cases[] = {
      {36,
       100,
       60,
       "00 C0 00 83 00 90 60 64 88 7C 80 60 00 00 FF 2F 00",
       {"1 384 note_on 0 96 100", "1 1532 note_off 0 96 0"}},
      {-12,
       5,
       60,
       "00 C0 00 83 00 90 30 64 88 7C 80 30 00 00 FF 2F 00",
       {"1 384 note_on 0 48 100", "1 1532 note_off 0 48 0"}},
      // The note still sounding is released, as playback releases it.
      {36,
       60,
       100,
       "00 C0 00 00 90 60 64 82 7C 80 60 00 89 00 80 60 00 00 FF 2F 00",
       {"1 0 note_on 0 96 100", "1 380 note_off 0 96 0", "1 1532 note_off 0 96 0"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::to_string(c.transpose) + " " + std::to_string(c.first));
    TVNSong song;
    MakeSong(song, 1, 16);
    song.SetTranspose(0, c.transpose);
    song.StoreCell(0, 0, 0, c.first);
    song.StoreCell(0, 0, 4, c.second);
    const Exported e = Export(song, false, "transpose");
    EXPECT_EQ(e.Track(1), c.track);
    ExpectMidoSees(e.path, 2, c.notes);
  }
}

TEST(MidiExport, MidiChannelsAbove16_WriteNoChannelEventsButKeepTempo) {
  TVNSong song;
  MakeSong(song, 3, 16);
  Append(song, ttNote);  // channel 2 gets a second note track; then channel 0 gets pan and tempo
  ASSERT_TRUE(song.AddTrack(0, ttTempo, -1, -1));
  ASSERT_TRUE(song.AddTrack(0, ttPan, -1, -1));
  // Tracks: 0 note, 1 pan, 2 tempo (channel 0); 3 note (channel 1); 4, 5 notes (channel 2).
  song.SetMidiChannel(0, 16);
  song.SetMidiChannel(1, 47);
  song.SetMidiChannel(2, 15);
  song.SetProgram(15, 3);
  song.SetProgram(16, 4);
  song.StoreBankSelect(16, 0, 1);
  song.SetMidiParam(16, 1, 64);
  for (int t : {0, 3, 4}) song.StoreCell(0, t, 0, 60);
  song.StoreCell(0, 1, 0, 10);
  song.StoreCell(0, 2, 2, 60);
  song.StoreCell(0, 3, 4, CellNoteOff);
  const Exported e = Export(song, true, "channel16");
  EXPECT_EQ(e.Track(1), "81 40 FF 51 03 0F 42 40 00 FF 2F 00");
  EXPECT_EQ(e.Track(2), End);
  EXPECT_EQ(e.Track(3), "00 CF 03 00 9F 3C 64 8B 7C 8F 3C 00 00 FF 2F 00");
  ExpectMidoSees(e.path, 4, {"3 0 note_on 15 60 100", "3 1532 note_off 15 60 0"});
}

TEST(MidiExport, OrderNoteOff_ReleasesEveryHeldNoteWithItsOwnStatus) {
  TVNSong song;
  MakeSong(song, 2, 16);
  ASSERT_TRUE(song.AddTrack(0, ttNote, -1, -1));  // tracks 0, 1 on channel 0; 2 on channel 1
  song.StoreCell(0, 0, 0, 60);
  song.StoreCell(0, 1, 0, 64);
  song.SetOrder(0, 1, OrderNoteOff);
  song.SetOrder(1, 1, 0);

  const Exported whole = Export(song, true, "notedoff_song");
  // At the last position the channel names no pattern: no release in the final row.
  EXPECT_EQ(whole.Track(1), "00 C0 00 00 90 3C 64 00 40 64 8B 7C 80 3C 00 00 80 40 00 00 FF 2F 00");
  EXPECT_EQ(whole.Track(2), "00 C1 00 00 FF 2F 00");
  ExpectMidoSees(whole.path, 3,
                 {"1 0 note_on 0 60 100", "1 0 note_on 0 64 100", "1 1532 note_off 0 60 0", "1 1532 note_off 0 64 0"});

  const Exported pattern = Export(song, false, "notedoff_pattern");
  EXPECT_EQ(pattern.Track(1), "00 C0 00 00 90 3C 64 00 40 64 8B 7C 80 3C 00 00 40 00 00 FF 2F 00");
}

TEST(MidiExport, LastPositionWithoutPattern_LeavesTheChannelsNotesOpen) {
  TVNSong song;
  MakeSong(song, 2, 16);
  song.StoreCell(0, 0, 0, 60);
  song.StoreCell(0, 1, 0, 62);
  song.SetOrder(0, 1, OrderEmpty);
  song.SetOrder(1, 1, 0);
  const Exported e = Export(song, true, "open_note");
  EXPECT_EQ(e.Track(1), "00 C0 00 00 90 3C 64 00 FF 2F 00");
  EXPECT_EQ(e.Track(2), "00 C1 00 00 91 3E 64 8B 7C 81 3E 00 04 91 3E 64 8B 7C 81 3E 00 00 FF 2F 00");
  ExpectMidoSees(e.path, 3,
                 {"1 0 note_on 0 60 100", "2 0 note_on 1 62 100", "2 1532 note_off 1 62 0", "2 1536 note_on 1 62 100",
                  "2 3068 note_off 1 62 0"});
}

TEST(MidiExport, PatternExport_PlaysTheCurrentPatternForEveryChannel) {
  TVNSong song;
  MakeSong(song, 2, 16);
  ASSERT_TRUE(song.InsertPattern(1, 8));
  song.StoreCell(0, 0, 0, 60);
  song.StoreCell(1, 0, 2, 67);
  song.StoreCell(1, 1, 7, 69);
  song.CurrentPattern = 1;
  const Exported pattern = Export(song, false, "current");
  EXPECT_EQ(pattern.Track(1), "00 C0 00 81 40 90 43 64 84 3C 80 43 00 00 FF 2F 00");
  EXPECT_EQ(pattern.Track(2), "00 C1 00 85 20 91 45 64 5C 81 45 00 00 FF 2F 00");
  ExpectMidoSees(
      pattern.path, 3,
      {"1 192 note_on 0 67 100", "1 764 note_off 0 67 0", "2 672 note_on 1 69 100", "2 764 note_off 1 69 0"});

  const Exported whole = Export(song, true, "order");  // the order names pattern 0
  ExpectMidoSees(whole.path, 3, {"1 0 note_on 0 60 100", "1 1532 note_off 0 60 0"});
}

TEST(MidiExport, Progress_IsReportedPerOrderPositionThenSavingAndDone) {
  TVNSong song;
  MakeSixteenAndThirtyTwo(song);
  RecordingReporter reporter;
  song.SetReporter(&reporter);
  const std::string path = TempPath("progress.mid");
  ASSERT_TRUE(ExportMidi(song, path, true));
  std::vector<std::string> texts;
  for (const auto& status : reporter.statuses) {
    EXPECT_EQ(status.panel, 0);
    texts.push_back(status.text);
  }
  EXPECT_EQ(Joined(texts), Joined({"Generating file " + path + " Row:0", "Generating file " + path + " Row:16",
                                   "Generating file " + path + " Row:32", "Saving file " + path, "Done."}));
  EXPECT_TRUE(reporter.messages.empty());
  ExpectMidoSees(
      path, 3,
      {"1 0 note_on 0 60 100", "1 1532 note_off 0 60 0", "1 1536 note_on 0 60 100", "1 3068 note_off 0 60 0",
       "1 3072 note_on 0 60 100", "1 4604 note_off 0 60 0", "2 1440 note_on 1 67 100", "2 2972 note_off 1 67 0",
       "2 2976 note_on 1 67 100", "2 4508 note_off 1 67 0", "2 4512 note_on 1 67 100", "2 4604 note_off 1 67 0"});
}

TEST(MidiExport, Export_LeavesTheSongUnchanged) {
  TVNSong song;
  MakeSixteenAndThirtyTwo(song);
  song.Modified = false;
  song.PlayingRow = 5;
  const std::vector<uint8_t> before = song.EncodeFile();
  const Exported e = Export(song, true, "unchanged");
  EXPECT_EQ(song.EncodeFile(), before);
  EXPECT_FALSE(song.Modified);
  EXPECT_EQ(int(song.PlayingRow), 5);
  EXPECT_EQ(int(song.BPM), 120);
  EXPECT_EQ(e.tracks.size(), 3u);
}

TEST(MidiExport, UnwritableFile_SaysErrorSavingMid) {
  TVNSong song;
  MakeSong(song, 1, 16);
  RecordingReporter reporter;
  song.SetReporter(&reporter);
  const std::string path = TempPath("no-such-folder") + "/out.mid";
  EXPECT_FALSE(ExportMidi(song, path, true));
  EXPECT_EQ(Joined(reporter.messages), "Error saving .mid\n");
  EXPECT_FALSE(reporter.SaidStatus("Done."));
  EXPECT_FALSE(std::filesystem::exists(path));
}

TEST(MidiExport, GapLongerThanADeltaCanHold_FailsAndKeepsTheOldFile) {
  // A note at the start and its release 11 000 positions of 256 rows later: 270 million ticks.
  TVNSong song;
  MakeSong(song, 1, 256);
  song.StoreCell(0, 0, 0, 60);
  song.SetOrder(0, 11000, 0);  // the positions between name no pattern: 256 rows each
  RecordingReporter reporter;
  song.SetReporter(&reporter);
  const std::string path = TempPath("kept.mid");
  WriteFile(path, {'o', 'l', 'd'});
  EXPECT_TRUE(EncodeMidiFile(song, true).empty());
  EXPECT_FALSE(ExportMidi(song, path, true));
  EXPECT_EQ(Joined(reporter.messages), "Error saving .mid\n");
  EXPECT_EQ(Hex(ReadFile(path)), "6F 6C 64");

  // A thousand positions fewer fit: the release comes 245 759 996 ticks after the start.
  song.SetOrder(0, 11000, OrderEmpty);
  song.SetOrder(0, 10000, 0);
  ASSERT_EQ(song.OrderLength(), 10001);
  ASSERT_TRUE(ExportMidi(song, path, true));
  ExpectMidoSees(path, 2,
                 {"1 0 note_on 0 60 100", "1 245759996 note_off 0 60 0", "1 245760000 note_on 0 60 100",
                  "1 245784572 note_off 0 60 0"});
}

TEST(MidiExport, VariableLengthQuantities_AtTheirBoundaries) {
  const std::pair<uint32_t, const char*> cases[] = {
      {0, "00"},           {127, "7F"},           {128, "81 00"},           {16383, "FF 7F"},
      {16384, "81 80 00"}, {2097151, "FF FF 7F"}, {2097152, "81 80 80 00"}, {MaxVariableLength, "FF FF FF 7F"},
  };
  for (const auto& [value, hex] : cases) {
    std::vector<uint8_t> out = {0xAA};
    AppendVariableLength(out, value);
    EXPECT_EQ(Hex(out), std::string("AA ") + hex) << value;
  }
}

}  // namespace
}  // namespace varnel::test
