// Standard MIDI File import: notes are quantised to rows and spread over the note tracks of the
// sixteen song channels, the file is cut into patterns of a fixed length, and controllers,
// programs, banks, tempo, key and text events become presets, tempo, key and comments.
#pragma once

#include <cstdint>
#include <span>
#include <string>

namespace varnel {

class TVNSong;

// The "MIDI Import" options. Values outside what the song can hold are clamped: startRow to
// 0..65536, patternLength to 1..256, rowsPerQuarter to 1..96; any method other than 1 is 0.
struct MidiImportOptions {
  int startRow = 0;        // rows cut off at the start of the file
  int patternLength = 64;  // rows per pattern
  int rowsPerQuarter = 4;  // becomes the song's SPD
  int method = 0;          // 0 default placement, 1 experimental placement
};

// Reads the file into song (reset and filled again); messages and the information text go
// through song.Report(). False when the file cannot be read, has no valid header or its tracks hold
// nothing the import can use, and then the song is unchanged. A damaged or truncated file imports
// as far as it can be read and returns true.
bool ImportMidi(TVNSong& song, const std::string& fileName, const MidiImportOptions& options);

// The same from bytes in memory; name stands for the file name in messages.
bool ImportMidiBytes(TVNSong& song, std::span<const uint8_t> bytes, const std::string& name,
                     const MidiImportOptions& options);

}  // namespace varnel
