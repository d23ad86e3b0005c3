#pragma once

#include "cli/command.h"

namespace varnel::cli {

int RunRender(CommandContext& context);

}  // namespace varnel::cli
