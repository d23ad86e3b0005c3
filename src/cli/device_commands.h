#pragma once

#include "cli/command.h"

namespace varnel::cli {

// varnel-cli devices: the output and input lists as the menus number them.
int RunDevices(CommandContext& context);

// varnel-cli play SONG.vnl [--device N|NAME] [--pattern] [--loops N] [--soundfont FILE]
int RunPlay(CommandContext& context);

}  // namespace varnel::cli
