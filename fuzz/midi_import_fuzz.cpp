// Fuzzes the MIDI file import. Any input must be refused with the song left alone, or give a song
// that keeps the model's invariants, holds no more notes than the input has events, plays as many
// rows after packing as before, and (when small) saves and loads again to the same bytes; anything
// else aborts so that libFuzzer keeps the input. The options and the placement method are taken
// from the input's size, so all of them get exercised without changing the bytes the reader sees.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <span>
#include <vector>

#include "exchange/midi_import.h"
#include "song/song.h"
#include "song_invariants.h"

namespace {

using namespace varnel;

void Fail(const char* why) {
  std::fprintf(stderr, "midi_import_fuzz: %s\n", why);
  std::abort();
}

VARNEL_UNINSTRUMENTED const char* ImportFault(const TVNSong& song, const MidiImportOptions& options) {
  if (song.ChannelsCount() != 16 || song.TracksCount() < 16) return "channels";
  if (song.OrderLength() != song.PatternsCount()) return "order length";
  if (song.CurrentPattern != 0 || !song.SongMode || song.SPD != options.rowsPerQuarter) return "final fields";
  for (int c = 0; c < 16; ++c)
    for (int p = 0; p < song.OrderLength(); ++p)
      if (song.Order(c, p) != p) return "order entry";
  for (int p = 0; p < song.PatternsCount(); ++p)
    if (song.LastRow(p) != options.patternLength - 1) return "pattern length";
  for (int t = 0; t < song.TracksCount(); ++t)
    if (song.TrackType(t) != ttNote) return "track type";
  return nullptr;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static constexpr int Lengths[] = {16, 64, 256};
  static constexpr int Speeds[] = {4, 24};
  MidiImportOptions options;
  options.patternLength = Lengths[size % 3];
  options.rowsPerQuarter = Speeds[size / 3 % 2];
  options.startRow = size / 6 % 2 ? 32 : 0;
  options.method = int(size / 12 % 2);

  // One song for every input: Reset gives it back its first state, and its cell storage keeps its
  // size, so that a song of many patterns costs no fresh memory (and page faults) on every input.
  static TVNSong song;
  song.Reset(16, song.DefaultPatternLength(), true);
  song.BPM = 99;
  song.StoreCell(0, 3, 5, 70);
  if (!ImportMidiBytes(song, std::span(data, size), "fuzz.mid", options)) {
    if (song.BPM != 99 || song.CellData(0, 3, 5) != 70 || song.PatternsCount() != 1 || song.TracksCount() != 16)
      Fail("a refused import changed the song");
    return 0;
  }
  if (const char* fault = fuzz::ShapeFault(song)) Fail(fault);
  if (const char* fault = ImportFault(song, options)) Fail(fault);
  size_t filled = 0;
  if (const char* fault = fuzz::CellFault(song, true, filled)) Fail(fault);
  // Every note or release written took an event of at least three bytes.
  if (filled > size / 3) Fail("more cells written than the file has events");

  // Packing ("Pack song?") keeps time. It costs more than the import: songs of a few patterns
  // cover its cases.
  if (song.PatternsCount() > 4) return 0;
  const int64_t rows = fuzz::RowsPerPass(song);
  for (int step = 1; step <= 4; ++step) song.Pack(step);
  if (fuzz::RowsPerPass(song) != rows) Fail("packing changed the rows one pass plays");
  if (const char* fault = fuzz::ShapeFault(song)) Fail(fault);
  // The round trip through the song file (whose writer starts with a buffer of a MiB): a song of
  // one pattern covers what an import can give the file.
  if (song.PatternsCount() > 1) return 0;
  const std::vector<uint8_t> saved = song.EncodeFile();
  TVNSong again;
  if (!again.LoadFromBytes(saved, "again.vnl")) Fail("an imported song does not load");
  if (again.EncodeFile() != saved) Fail("an imported song re-encodes differently");
  return 0;
}
