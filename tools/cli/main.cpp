// torvanetx-cli: the headless side of TorvaneTX.
#include <cstdio>
#include <cstring>
#include <exception>

#include "CliCommand.h"

#ifndef TORVANE_VERSION
#define TORVANE_VERSION "0.0.0"
#endif

namespace {

void PrintHelp() {
  std::printf(
      "torvanetx-cli %s: the TorvaneTX race-day station without a window.\n\n"
      "usage: torvanetx-cli COMMAND [ARGS...]\n"
      "       torvanetx-cli --help | --version\n\ncommands:\n",
      TORVANE_VERSION);
  for (const auto& command : torvane::cli::Commands()) std::printf("  %s\n", command.usage);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2 || std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0) {
    PrintHelp();
    return argc < 2 ? 2 : 0;
  }
  if (std::strcmp(argv[1], "--version") == 0) {
    std::printf("torvanetx-cli %s\n", TORVANE_VERSION);
    return 0;
  }
  for (const auto& command : torvane::cli::Commands()) {
    if (std::strcmp(argv[1], command.name) != 0) continue;
    try {
      return command.run(torvane::cli::Arguments(argv + 2, argv + argc));
    } catch (const std::exception& e) {
      std::fprintf(stderr, "torvanetx-cli %s: %s\n", command.name, e.what());
      return 1;
    }
  }
  std::fprintf(stderr, "torvanetx-cli: unknown command '%s' (try --help)\n", argv[1]);
  return 2;
}
