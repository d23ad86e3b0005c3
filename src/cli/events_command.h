#pragma once

#include "cli/command.h"

namespace varnel::cli {

// varnel-cli events SONG.vnl --rows N [--mode song|pattern] [--metronome]
int RunEvents(CommandContext& context);

}  // namespace varnel::cli
