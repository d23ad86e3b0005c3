#pragma once

#include "cli/command.h"

namespace varnel::cli {

// varnel-cli devices: the output and input lists as the menus number them.
int RunDevices(CommandContext& context);

// varnel-cli play SONG.vnl [--device N|NAME] [--device2 N|NAME] [--device3 N|NAME] [--pattern] [--loops N]
//   [--soundfont FILE] [--follow-clock IN]: --device2 and --device3 take MIDI channels 17-32 and 33-48.
int RunPlay(CommandContext& context);

}  // namespace varnel::cli
