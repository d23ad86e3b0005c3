#pragma once

#include "cli/command.h"

namespace varnel::cli {

int RunExportMidi(CommandContext& context);

}  // namespace varnel::cli
