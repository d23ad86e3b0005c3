// varnel-cli resave IN.vnl OUT.vnl: load a song and write it in the current file version.
#pragma once

#include "cli/command.h"

namespace varnel::cli {

int RunResave(CommandContext& context);

}  // namespace varnel::cli
