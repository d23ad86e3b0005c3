// Extended module (XM) import: the order table, the patterns and their notes become a new song,
// one song channel per module instrument. Samples, volumes and effects are not read.
#pragma once

#include <cstdint>
#include <span>
#include <string>

namespace varnel {

class TVNSong;

// Reads the module from fileName into song (the song is reset and filled again). Messages go
// through song.Report(). True after a completed import (also a partial one of a damaged file:
// the song keeps what was read); false when the file cannot be read or is not a module, in
// which case the song is unchanged.
bool ImportXM(TVNSong& song, const std::string& fileName);

// The same from bytes in memory; name stands for the file name in the status texts.
bool ImportXMBytes(TVNSong& song, std::span<const uint8_t> bytes, const std::string& name);

}  // namespace varnel
