// The pattern-shaping commands of the main window: quantize a half step forward, set note
// lengths (from each note, or back from the next note), and stretch or squeeze the rows of a
// whole pattern. They work on what the pattern grid shows: the current pattern, or in song view
// the patterns the channels play at the shown order position. Questions and refusals go through
// the song's reporter.
//
// Threads: UI thread. Cells change one at a time, as in any edit while playing; expand and shrink
// hold the song's shape lock so that a row is never played from a half-moved pattern.
#pragma once

#include <vector>

namespace varnel {

class TVNSong;

// Every odd row's value moves one row later onto the even row when that row is empty; the last
// row wraps to row 0. Note-offs move like notes; tracks other than note tracks are skipped.
void QuantizeForward(TVNSong& song, int firstTrack, int lastTrack);

// Removes every note-off of a note track, then ends each note `length` rows after it starts
// (0 only removes, 1 ends a note on the next row) where that row is empty.
void SetNotesLength1(TVNSong& song, int track, int length);

// Removes every note-off of a note track, then places one `length` rows before each next note
// and before the end of the pattern, where that row is empty.
void SetNotesLength2(TVNSong& song, int track, int length);

// The note tracks of a song channel, left to right.
std::vector<int> NoteTracksOfChannel(const TVNSong& song, int channel);

// Stretches the pattern by 2 or 3 (refused past 256 rows) or squeezes it by 2, 3 or 4 (refused
// below 2 rows), after asking. True when the pattern changed; no undo step is kept.
bool ExpandPattern(TVNSong& song, int factor);
bool ShrinkPattern(TVNSong& song, int divisor);

}  // namespace varnel
