// The subcommands of torvanetx-cli. Each takes its own arguments (after the
// subcommand name) and returns the process exit status.
#ifndef TORVANE_TOOLS_CLI_CLICOMMAND_H_
#define TORVANE_TOOLS_CLI_CLICOMMAND_H_

#include <string>
#include <vector>

namespace torvane::cli {

using Arguments = std::vector<std::string>;

// Exit statuses of every subcommand.
inline constexpr int kExitOk = 0;
inline constexpr int kExitFailed = 1;
inline constexpr int kExitUsage = 2;

struct CliCommand {
  const char* name;
  const char* usage;  // one line, shown by --help
  int (*run)(const Arguments& args);
};

// Every subcommand, in the order --help lists them.
const std::vector<CliCommand>& Commands();

}  // namespace torvane::cli

#endif  // TORVANE_TOOLS_CLI_CLICOMMAND_H_
