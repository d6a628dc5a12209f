// The main() both simulators share: options parsed (usage on an error, exit 2;
// --help, exit 0), stdout line-buffered for the scripts that read it, then the
// simulator started on a Qt event loop (exit 1 when it cannot start).
#ifndef TORVANE_TOOLS_SIMULATORS_SIMULATORMAIN_H_
#define TORVANE_TOOLS_SIMULATORS_SIMULATORMAIN_H_

#include <QCoreApplication>
#include <cstdio>
#include <string>
#include <vector>

namespace torvane::sim {

template <typename Simulator, typename Options>
int RunSimulator(int argc, char** argv, const char* name, const char* usage,
                 bool (*parse)(const std::vector<std::string>&, Options&, std::string&)) {
  std::setvbuf(stdout, nullptr, _IOLBF, 0);
  const std::vector<std::string> args(argv + 1, argv + argc);
  Options options;
  std::string error;
  if (!parse(args, options, error)) {
    std::fprintf(stderr, "%s: %s\n%s", name, error.c_str(), usage);
    return 2;
  }
  if (options.help) {
    std::printf("%s", usage);
    return 0;
  }
  QCoreApplication app(argc, argv);
  Simulator simulator(options);
  if (!simulator.Start(error)) {
    std::fprintf(stderr, "%s: %s\n", name, error.c_str());
    return 1;
  }
  return QCoreApplication::exec();
}

}  // namespace torvane::sim

#endif  // TORVANE_TOOLS_SIMULATORS_SIMULATORMAIN_H_
