// varnel-cli export-midi SONG.vnl OUT.mid [--pattern N]: the song, or pattern N played once, as a
// Standard MIDI File.
#pragma once

#include "cli/command.h"

namespace varnel::cli {

int RunExportMidi(CommandContext& context);

}  // namespace varnel::cli
