// Small helpers that build songs and files for tests.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "song/song.h"

namespace varnel::test {

// A fresh song of the given channels (one note track each) and pattern length.
void MakeSong(TVNSong& song, int channels, int rows);

// Moves the song's new last track to channel 5 through the file, so that the song gets channels
// without tracks (as only a loaded file can have them). Expects fewer than 5 channels.
void LoadTracklessChannels(TVNSong& song);

// Appends big-endian integers and strings to a byte vector, for building files by hand.
struct Bytes {
  std::vector<uint8_t> data;
  Bytes& u8(int v);
  Bytes& u16(int v);
  Bytes& text(const std::string& s);         // raw bytes, no length
  Bytes& shortString(const std::string& s);  // byte length + bytes
  Bytes& longString(const std::string& s);   // u16 length + bytes
  Bytes& fill(size_t count, int v);
};

// A unique path in the test's temporary folder.
std::string TempPath(const std::string& name);
void WriteFile(const std::string& path, const std::vector<uint8_t>& data);
std::vector<uint8_t> ReadFile(const std::string& path);

}  // namespace varnel::test
