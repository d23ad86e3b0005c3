// Standard MIDI File export: the song (or the current pattern) walked row by row as playback walks
// it, its messages written as timed events into one file track per song channel plus a tempo track.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace varnel {

class TVNSong;

// A row is always 96 ticks and a quarter note 384, so a quarter note is 4 rows whatever the
// song's rows per beat; the tempo written makes up for it.
inline constexpr int ExportTicksPerRow = 96;
inline constexpr int ExportDivision = 384;

// The largest delta time a file can hold: four bytes of seven bits.
inline constexpr uint32_t MaxVariableLength = 0x0FFFFFFF;

// Writes the whole order list (wholeSong) or CurrentPattern once to fileName, replacing the file
// only when everything was written. Progress and failure go through song.Report(); the song is not
// changed.
bool ExportMidi(TVNSong& song, const std::string& fileName, bool wholeSong);

// Called with the global row as the export walks the song.
using ExportProgress = std::function<void(int64_t globalRow)>;

// The bytes ExportMidi writes; empty when the song cannot be expressed as a file (a gap between
// two events of one file track longer than MaxVariableLength ticks, or a track over 4 GiB).
std::vector<uint8_t> EncodeMidiFile(const TVNSong& song, bool wholeSong, const ExportProgress& progress = {});

// Microseconds per quarter note for a tempo at rows-per-beat spd, given the 4-row quarter note.
// Zero tempo or speed count as one; the result is capped at the three bytes the meta event has.
uint32_t ExportTempo(int bpm, int spd);

// Appends value (at most MaxVariableLength) as a variable-length quantity.
void AppendVariableLength(std::vector<uint8_t>& out, uint32_t value);

}  // namespace varnel
