// torvanetx-cli replay: recorded timing text through the station's timing path
// (receive framing, parsers, page builders, page writer) without devices or
// timers, then the pages, race state and send windows as JSON, the image as a
// memory dump and the settings as they stand afterwards.
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "CliCommand.h"
#include "Globals.h"
#include "LocalDate.h"
#include "MemoryDump.h"
#include "Prompter.h"
#include "ReplayJson.h"
#include "SettingsStore.h"
#include "TimingPipeline.h"

namespace torvane::cli {
namespace {

constexpr const char* kUsage =
    "usage: torvanetx-cli replay --registry FILE --framing tagged|command [--chunk N]\n"
    "                            [--day-of-year N] [--delay-everything on|off]\n"
    "                            [--json OUT] [--dump OUT] [--registry-out FILE2] INPUT\n"
    "Starts as the station does from the settings file FILE (HKEY_CURRENT_USER hive;\n"
    "never written): pages, categories, active category, venue, page hold, Delay\n"
    "Everything (unless given), the whole image. Then feeds the bytes of INPUT, N per\n"
    "arrival (default: all at once), through the receive framing: tagged as timing\n"
    "serial input, command as network input over TCP. No line is opened and no timer\n"
    "runs, so queued rows stay queued. Writes the pages, race state, send windows and\n"
    "message boxes as JSON to OUT, the image as a memory dump, and the settings as they\n"
    "stand afterwards to FILE2. N is the day of the year, 0..365 (default: today).\n";

struct ReplayRequest {
  std::string registry;
  std::string input;
  std::optional<Framing> framing;
  size_t chunk = 0;
  std::optional<int16_t> dayOfYear;
  std::optional<bool> delayEverything;
  std::string json;
  std::string dump;
  std::string registryOut;
};

int UsageError(const std::string& message) {
  std::fprintf(stderr, "torvanetx-cli replay: %s\n%s", message.c_str(), kUsage);
  return kExitUsage;
}

std::optional<long> Whole(const std::string& text, long most) {
  if (text.empty() || text.size() > 9) return std::nullopt;
  long value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return std::nullopt;
    value = value * 10 + (c - '0');
  }
  if (value > most) return std::nullopt;
  return value;
}

std::optional<int> ParseArguments(const Arguments& args, ReplayRequest& request) {
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (arg == "--help" || arg == "-h") {
      std::printf("%s", kUsage);
      return kExitOk;
    }
    if (arg.rfind("--", 0) != 0) {
      if (!request.input.empty()) return UsageError("more than one INPUT");
      request.input = arg;
      continue;
    }
    static const char* const kOptions[] = {"--registry",    "--framing",          "--chunk",
                                           "--day-of-year", "--delay-everything", "--json",
                                           "--dump",        "--registry-out"};
    if (std::find(std::begin(kOptions), std::end(kOptions), arg) == std::end(kOptions)) {
      return UsageError("unknown argument '" + arg + "'");
    }
    if (i + 1 >= args.size()) return UsageError(arg + " needs a value");
    const std::string& value = args[++i];
    if (arg == "--registry") {
      request.registry = value;
    } else if (arg == "--framing") {
      if (value != "tagged" && value != "command") {
        return UsageError("--framing takes tagged or command");
      }
      request.framing = value == "tagged" ? Framing::kTagged : Framing::kCommand;
    } else if (arg == "--chunk") {
      const std::optional<long> chunk = Whole(value, 100000000);
      if (!chunk || *chunk == 0) return UsageError("--chunk takes a number of bytes above 0");
      request.chunk = static_cast<size_t>(*chunk);
    } else if (arg == "--day-of-year") {
      const std::optional<long> day = Whole(value, 365);
      if (!day) return UsageError("--day-of-year takes a number 0..365");
      request.dayOfYear = static_cast<int16_t>(*day);
    } else if (arg == "--delay-everything") {
      if (value != "on" && value != "off") return UsageError("--delay-everything takes on or off");
      request.delayEverything = value == "on";
    } else if (arg == "--json") {
      request.json = value;
    } else if (arg == "--dump") {
      request.dump = value;
    } else {
      request.registryOut = value;
    }
  }
  if (request.registry.empty()) return UsageError("--registry FILE is required");
  if (!request.framing) return UsageError("--framing tagged|command is required");
  if (request.input.empty()) return UsageError("INPUT is required");
  return std::nullopt;
}

// Shows every message on stderr, as the headless station does, and keeps its text.
class RecordingPrompter : public Prompter {
 public:
  PromptAnswer Show(const Prompt& prompt) override {
    texts.push_back(prompt.text);
    return stderr_.Show(prompt);
  }
  std::vector<std::string> texts;

 private:
  StderrPrompter stderr_;
};

std::optional<std::string> ReadBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return std::nullopt;
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

bool WriteText(const std::string& path, const std::string& text) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << text << '\n';
  out.close();
  return static_cast<bool>(out);
}

int Failed(const std::string& message) {
  std::fprintf(stderr, "torvanetx-cli replay: %s\n", message.c_str());
  return kExitFailed;
}

}  // namespace

int RunReplay(const Arguments& args) {
  ReplayRequest request;
  if (const std::optional<int> status = ParseArguments(args, request)) return *status;

  std::error_code error;
  if (!std::filesystem::is_regular_file(request.registry, error)) {
    return Failed("no settings file " + request.registry);
  }
  const std::optional<std::string> input = ReadBytes(request.input);
  if (!input) return Failed("cannot read " + request.input);

  // FILE is only read: with --registry-out the replay runs on a copy.
  HiveFiles files{request.registry, "", true};
  if (!request.registryOut.empty()) {
    if (std::filesystem::exists(request.registryOut, error) &&
        std::filesystem::equivalent(request.registry, request.registryOut, error)) {
      return Failed("--registry-out must name another file than --registry");
    }
    std::filesystem::copy_file(request.registry, request.registryOut,
                               std::filesystem::copy_options::overwrite_existing, error);
    if (error) return Failed("cannot write " + request.registryOut + ": " + error.message());
    files = HiveFiles{request.registryOut, "", false};
  }
  SettingsStore settings(files);
  RecordingPrompter prompter;
  auto replay = std::make_unique<TimingPipeline>(settings, prompter);

  const Framing framing = *request.framing;
  PipelineStart start;
  const CalendarDate today = LocalToday();
  start.dayOfYear =
      request.dayOfYear ? *request.dayOfYear : DayOfYear(today.year, today.month, today.day);
  start.delayEverything = request.delayEverything;
  start.timingTcpActive = framing == Framing::kCommand;
  replay->StartUp(start);

  const size_t chunk = request.chunk == 0 ? std::max<size_t>(input->size(), 1) : request.chunk;
  {
    // The settings file is written once, when the replay is over.
    SettingsStore::Batch batch(settings);
    for (size_t at = 0; at < input->size(); at += chunk) {
      replay->Receive(std::string_view(*input).substr(at, chunk), framing);
    }
  }

  const Globals& g = replay->globals();
  if (!request.json.empty() && !WriteText(request.json, ReplayJson(g, prompter.texts))) {
    return Failed("cannot write " + request.json);
  }
  std::string why;
  if (!request.dump.empty() && !WriteMemoryDump(request.dump, g.MapImage, &why)) {
    return Failed(why);
  }
  std::printf("%zu bytes replayed; %llu overlong records dropped; %zu messages\n", input->size(),
              static_cast<unsigned long long>(replay->framer().OverlongRecords()),
              prompter.texts.size());
  return kExitOk;
}

}  // namespace torvane::cli
