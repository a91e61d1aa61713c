#include "cli/cli_util.h"
#include "cli/commands.h"

// Placeholder until the command is built.
int RunSend(int, char**) {
  cli::Error("'send' is not available in this build");
  return cli::kExitUsage;
}
