// Fuzzes the song-file reader. Any input must load as a failure or as a song that saves and loads
// again to the very same bytes; anything else aborts so that libFuzzer keeps the input.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <span>
#include <vector>

#include "song/song.h"

namespace {
void Fail(const char* why) {
  std::fprintf(stderr, "song_file_fuzz: %s\n", why);
  std::abort();
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  varnel::TVNSong song;
  if (!song.LoadFromBytes(std::span(data, size), "fuzz.vnl")) return 0;
  if (song.PatternsCount() < 1 || song.TracksCount() < 1 || song.ChannelsCount() < 1 || song.OrderLength() < 1)
    Fail("loaded song has an empty dimension");
  for (int t = 0; t < song.TracksCount(); ++t)
    if (song.TrackChannel(t) >= song.ChannelsCount()) Fail("track names a missing channel");
  const std::vector<uint8_t> first = song.EncodeFile();
  varnel::TVNSong again;
  if (!again.LoadFromBytes(first, "again.vnl")) Fail("a saved song does not load");
  if (again.EncodeFile() != first) Fail("a loaded song re-encodes differently");
  return 0;
}
