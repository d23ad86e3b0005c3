// Extended module (XM) import: the order table, the patterns and their notes become a new song,
// one song channel per module instrument. Samples, volumes and effects are not read.
#pragma once

#include <cstdint>
#include <span>
#include <string>

namespace varnel {

class TVNSong;

// Reads the module from fileName into song (the song is reset and filled again). Messages go
// through song.Report(). False when the file cannot be read, is not a module ("Not a valid file"
// on the status bar) or is damaged (a message says what is wrong: a header value outside the
// format's range, pattern data that cannot be read); the song is then unchanged.
bool ImportXM(TVNSong& song, const std::string& fileName);

// The same from bytes in memory; name stands for the file name in the status texts.
bool ImportXMBytes(TVNSong& song, std::span<const uint8_t> bytes, const std::string& name);

}  // namespace varnel
