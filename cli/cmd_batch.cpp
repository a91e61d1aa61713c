#include "cli/cli_util.h"
#include "cli/commands.h"

// Placeholder until the command is built.
int RunBatch(int, char**) {
  cli::Error("'batch' is not available in this build");
  return cli::kExitUsage;
}
