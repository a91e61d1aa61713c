#include "cli/cli_util.h"
#include "cli/commands.h"

// Placeholder until the command is built.
int RunListen(int, char**) {
  cli::Error("'listen' is not available in this build");
  return cli::kExitUsage;
}
