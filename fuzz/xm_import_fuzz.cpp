// Fuzzes the extended module import. Any input must be refused with the song left alone, or give a
// song that keeps the model's invariants, holds no more notes than the input has slots, plays as
// many rows as the module's order does (the import packs the song: packing must keep time), and
// (when small) saves and loads again to the same bytes; anything else aborts so that libFuzzer
// keeps the input.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <span>
#include <vector>

#include "exchange/xm_import.h"
#include "song/song.h"
#include "song_invariants.h"

namespace {

using namespace varnel;

void Fail(const char* why) {
  std::fprintf(stderr, "xm_import_fuzz: %s\n", why);
  std::abort();
}

uint32_t U16(const uint8_t* p) { return uint32_t(p[0] | p[1] << 8); }
uint32_t U32(const uint8_t* p) { return U16(p) | U16(p + 2) << 16; }

// The rows the module's order plays, read from the file the import accepted: each position the
// rows of its pattern, 256 where it names a pattern the module lacks (the song plays nothing
// there); positions at the end that name none are left out.
int64_t ModuleRows(const uint8_t* data, size_t size) {
  const int songLength = int(std::min<uint32_t>(U16(data + 64), 256)), patterns = int(U16(data + 70));
  std::vector<int> rows;
  size_t at = 60 + std::max<size_t>(U32(data + 60), 276);
  for (int n = 0; n < patterns && at + 9 <= size; ++n) {
    rows.push_back(int(U16(data + at + 5)));
    at += std::max<size_t>(U32(data + at), 9) + U16(data + at + 7);
  }
  int length = songLength;
  while (length > 1 && data[80 + length - 1] >= rows.size()) --length;
  if (length == 0) return rows.empty() ? 0 : rows[0];  // no order table: the first pattern
  int64_t total = 0;
  for (int p = 0; p < length; ++p) total += data[80 + p] < rows.size() ? rows[data[80 + p]] : RowsPerPattern;
  return total;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // One song for every input: Reset gives it back its first state, and its cell storage keeps its
  // size, so that a song of many patterns costs no fresh memory (and page faults) on every input.
  static TVNSong song;
  song.Reset(16, song.DefaultPatternLength(), true);
  song.BPM = 99;
  song.StoreCell(0, 3, 5, 70);
  if (!ImportXMBytes(song, std::span(data, size), "fuzz.xm")) {
    if (song.BPM != 99 || song.CellData(0, 3, 5) != 70 || song.PatternsCount() != 1 || song.TracksCount() != 16)
      Fail("a refused import changed the song");
    return 0;
  }
  if (const char* fault = fuzz::ShapeFault(song)) Fail(fault);
  size_t filled = 0;
  if (const char* fault = fuzz::CellFault(song, false, filled)) Fail(fault);
  // A slot that places a note takes two bytes at least.
  if (filled > size / 2) Fail("more cells written than the module has slots");
  if (song.BPM == 0 || song.SPD == 0) Fail("a tempo that stops the clock");
  if (fuzz::RowsPerPass(song) != ModuleRows(data, size)) Fail("the song plays another number of rows than the module");

  // The round trip through the song file (whose writer starts with a buffer of a MiB): a song of
  // one pattern covers what an import can give the file.
  if (song.PatternsCount() > 1) return 0;
  const std::vector<uint8_t> saved = song.EncodeFile();
  TVNSong again;
  if (!again.LoadFromBytes(saved, "again.vnl")) Fail("the imported song does not load after saving");
  if (again.EncodeFile() != saved) Fail("the imported song re-encodes differently");
  return 0;
}
