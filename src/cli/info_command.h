// varnel-cli info SONG.vnl [--json] [--cells]: everything a song file holds, as text for people
// or as one JSON document for scripts.
#pragma once

#include <ostream>
#include <string>

#include "cli/command.h"
#include "song/song.h"

namespace varnel::cli {

int RunInfo(CommandContext& context);

// Strings of the song are raw bytes; both writers show them through DisplayText.
void WriteInfoJson(const TVNSong& song, bool withCells, std::ostream& out);
void WriteInfoText(const TVNSong& song, const std::string& path, bool withCells, std::ostream& out);

}  // namespace varnel::cli
