#include "CliCommand.h"

namespace torvane::cli {

int RunReg(const Arguments& args);

const std::vector<CliCommand>& Commands() {
  static const std::vector<CliCommand> commands = {
      {"reg", "reg get|set|delete [--registry FILE] KEYPATH NAME [VALUE] [--type 1|4]", RunReg},
  };
  return commands;
}

}  // namespace torvane::cli
