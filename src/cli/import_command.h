#pragma once

#include "cli/command.h"

namespace varnel::cli {

int RunImport(CommandContext& context);

}  // namespace varnel::cli
