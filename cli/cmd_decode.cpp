#include "cli/cli_util.h"
#include "cli/commands.h"

// Placeholder until the command is built.
int RunDecode(int, char**) {
  cli::Error("'decode' is not available in this build");
  return cli::kExitUsage;
}
