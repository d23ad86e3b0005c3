// Fuzzes the MIDI file import. Any input must be refused or give a song that keeps the model's
// invariants and (when small) saves and loads again to the same bytes; anything else aborts so
// that libFuzzer keeps the input. The options are taken from the input's size, so all of them get
// exercised without changing the bytes the reader sees.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <span>
#include <vector>

#include "exchange/midi_import.h"
#include "song/song.h"

namespace {
void Fail(const char* why) {
  std::fprintf(stderr, "midi_import_fuzz: %s\n", why);
  std::abort();
}

void Check(varnel::TVNSong& song, const varnel::MidiImportOptions& options) {
  using namespace varnel;
  if (song.PatternsCount() < 1 || song.PatternsCount() > MaxPatterns) Fail("pattern count");
  if (song.TracksCount() < 1 || song.TracksCount() > MaxTracks) Fail("track count");
  if (song.ChannelsCount() != 16) Fail("channel count");
  if (song.OrderLength() != song.PatternsCount()) Fail("order length");
  if (song.CurrentPattern != 0 || !song.SongMode || song.SPD != options.rowsPerQuarter) Fail("final fields");
  for (int c = 0; c < 16; ++c)
    for (int p = 0; p < song.OrderLength(); ++p)
      if (song.Order(c, p) != p) Fail("order entry");
  for (int p = 0; p < song.PatternsCount(); ++p)
    if (song.LastRow(p) != options.patternLength - 1) Fail("pattern length");
  for (int t = 0; t < song.TracksCount(); ++t) {
    if (song.TrackType(t) != ttNote) Fail("track type");
    if (t > 0 && song.TrackChannel(t) < song.TrackChannel(t - 1)) Fail("tracks out of channel order");
    for (int p = 0; p < song.PatternsCount(); ++p)
      for (int r = 0; r < RowsPerPattern; ++r) {
        const int cell = song.CellData(p, t, r);
        if (cell > CellNoteOff || cell < 0 || (r >= options.patternLength && cell != CellEmpty)) Fail("cell value");
      }
  }
  // The round trip through the song file is costly for large songs; small ones cover its cases.
  if (options.method != 0 || song.PatternsCount() > 16) return;
  const std::vector<uint8_t> saved = song.EncodeFile();
  TVNSong again;
  if (!again.LoadFromBytes(saved, "again.vnl")) Fail("an imported song does not load");
  if (again.EncodeFile() != saved) Fail("an imported song re-encodes differently");
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static constexpr int Lengths[] = {16, 64, 256};
  static constexpr int Speeds[] = {4, 24};
  varnel::MidiImportOptions options;
  options.patternLength = Lengths[size % 3];
  options.rowsPerQuarter = Speeds[size / 3 % 2];
  options.startRow = size / 6 % 2 ? 32 : 0;
  for (int method : {0, 1}) {
    options.method = method;
    varnel::TVNSong song;
    if (!varnel::ImportMidiBytes(song, std::span(data, size), "fuzz.mid", options)) continue;
    Check(song, options);
  }
  return 0;
}
