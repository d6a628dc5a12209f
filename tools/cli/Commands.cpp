#include "CliCommand.h"

namespace torvane::cli {

int RunReg(const Arguments& args);
int RunImage(const Arguments& args);
int RunDecode(const Arguments& args);
int RunReplay(const Arguments& args);
int RunRegister(const Arguments& args);
int RunUnregister(const Arguments& args);
int RunWirelet(const Arguments& args);
#if defined(TORVANE_WITH_STATION) || defined(_WIN32)
int RunStation(const Arguments& args);
#endif

const std::vector<CliCommand>& Commands() {
#ifdef _WIN32
  // Windows has the station alone; its settings live in the registry itself.
  static const std::vector<CliCommand> commands = {
      {"station", "station [--dump-on-exit FILE] [--seconds N] [--stop-file PATH]", RunStation},
  };
  return commands;
#else
  static const std::vector<CliCommand> commands = {
      {"reg", "reg get|set|delete [--registry FILE] KEYPATH NAME [VALUE] [--type 1|4]", RunReg},
      {"image", "image --registry FILE [--day-of-year N] [--heads-up] [--ticker TEXT] --dump OUT",
       RunImage},
      {"decode", "decode [--json] DUMP", RunDecode},
      {"replay", "replay --registry FILE --framing tagged|command [OPTIONS] INPUT", RunReplay},
      {"register", "register [MODULE]   (default: the program's own libwirelet61.so)", RunRegister},
      {"unregister", "unregister [MODULE]", RunUnregister},
      {"wirelet", "wirelet < COMMANDS   (get|set|call|config|pump|quit, one per line)", RunWirelet},
#ifdef TORVANE_WITH_STATION
      {"station", "station [--registry FILE] [--dump-on-exit FILE] [--commands]",
       RunStation},
#endif
  };
  return commands;
#endif
}

}  // namespace torvane::cli
