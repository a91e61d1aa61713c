#include "cli/cli_util.h"
#include "cli/commands.h"

// Placeholder until the command is built.
int RunEncode(int, char**) {
  cli::Error("'encode' is not available in this build");
  return cli::kExitUsage;
}
