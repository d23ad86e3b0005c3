#include "cli/export_command.h"

namespace varnel::cli {

// Being written; replaced by the real command.
int RunExportMidi(CommandContext& context) {
  context.err << "not available yet\n";
  return ExitFailure;
}

}  // namespace varnel::cli
