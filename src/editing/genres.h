// The genre names of the song information: the ID3 version 1 genre table with its extensions up to
// number 147, and the list the song information dialog offers (sorted, "<Not specified>" first).
//
// Threads: any (constant data).
#pragma once

#include <string>
#include <vector>

namespace varnel {

inline constexpr int Id3GenreCount = 148;
inline constexpr const char* GenreNotSpecified = "<Not specified>";

// The name of ID3 genre number 0..147; empty for any other number.
std::string Id3GenreName(int number);

// "<Not specified>", then the 148 names sorted alphabetically, ignoring case.
const std::vector<std::string>& GenreList();

// Position of text in GenreList() (exact match), or -1 when the list does not hold it.
int GenreListIndex(const std::string& text);

}  // namespace varnel
