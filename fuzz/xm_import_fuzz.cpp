// Fuzzes the extended module import. Any input must be refused with the song left alone, or give a
// song that keeps the model's invariants and saves and loads again; anything else aborts so that
// libFuzzer keeps the input.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <span>
#include <string>
#include <vector>

#include "../tests/exchange/xm_import_builder.h"
#include "exchange/xm_import.h"
#include "song/song.h"

namespace {
void Fail(const std::string& why) {
  std::fprintf(stderr, "xm_import_fuzz: %s\n", why.c_str());
  std::abort();
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  varnel::TVNSong song;
  const std::vector<uint8_t> before = song.EncodeFile();
  if (!varnel::ImportXMBytes(song, std::span(data, size), "fuzz.xm")) {
    if (song.EncodeFile() != before) Fail("a refused import changed the song");
    return 0;
  }
  const std::string fault = varnel::test::SongFault(song);
  if (!fault.empty()) Fail(fault);
  const std::vector<uint8_t> saved = song.EncodeFile();
  varnel::TVNSong again;
  if (!again.LoadFromBytes(saved, "again.vnl")) Fail("the imported song does not load after saving");
  if (again.EncodeFile() != saved) Fail("the imported song re-encodes differently");
  return 0;
}
