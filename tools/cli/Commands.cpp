#include "CliCommand.h"

namespace torvane::cli {

int RunReg(const Arguments& args);
int RunImage(const Arguments& args);
int RunDecode(const Arguments& args);

const std::vector<CliCommand>& Commands() {
  static const std::vector<CliCommand> commands = {
      {"reg", "reg get|set|delete [--registry FILE] KEYPATH NAME [VALUE] [--type 1|4]", RunReg},
      {"image", "image --registry FILE [--day-of-year N] [--heads-up] [--ticker TEXT] --dump OUT",
       RunImage},
      {"decode", "decode [--json] DUMP", RunDecode},
  };
  return commands;
}

}  // namespace torvane::cli
