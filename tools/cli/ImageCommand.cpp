// torvanetx-cli image: the image a station starts broadcasting from a settings
// file, written as a memory dump. The settings file is only read.
#include <cstdio>
#include <fstream>
#include <memory>
#include <optional>
#include <sstream>
#include <string>

#include "AnsiText.h"
#include "CliCommand.h"
#include "Globals.h"
#include "ImageBuilder.h"
#include "LocalDate.h"
#include "MemoryDump.h"
#include "NewsTicker.h"
#include "PageColours.h"
#include "PageStoreSettings.h"
#include "RegFile.h"
#include "SettingsStore.h"

namespace torvane::cli {
namespace {

// The page the editor shows after start-up: its colours are loaded, and its
// ticker colour is the one a started ticker takes.
constexpr int16_t kStartPage = 0;
constexpr const char* kCurrentUserHive = "HKEY_CURRENT_USER";

constexpr const char* kUsage =
    "usage: torvanetx-cli image --registry FILE [--day-of-year N] [--heads-up]\n"
    "                           [--ticker TEXT] --dump OUT\n"
    "Loads the pages from the settings file FILE (HKEY_CURRENT_USER hive; never\n"
    "written) as the station does at start-up, builds the image, optionally starts\n"
    "the news ticker with TEXT, completes one cyclic pass and writes the memory dump\n"
    "(one decimal byte a line, addresses 0..32737) to OUT. N is the day of the year,\n"
    "0..365 (default: today); --heads-up sets the heads-up flag of every page.\n";

struct ImageRequest {
  std::string registry;
  std::string dump;
  std::optional<int16_t> dayOfYear;
  bool headsUp = false;
  std::optional<std::string> ticker;
};

int UsageError(const std::string& message) {
  std::fprintf(stderr, "torvanetx-cli image: %s\n%s", message.c_str(), kUsage);
  return kExitUsage;
}

std::optional<int16_t> DayArgument(const std::string& text) {
  if (text.empty() || text.size() > 3) return std::nullopt;
  int day = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return std::nullopt;
    day = day * 10 + (c - '0');
  }
  if (day > 365) return std::nullopt;
  return static_cast<int16_t>(day);
}

std::optional<int> ParseArguments(const Arguments& args, ImageRequest& request) {
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (arg == "--help" || arg == "-h") {
      std::printf("%s", kUsage);
      return kExitOk;
    }
    if (arg == "--heads-up") {
      request.headsUp = true;
      continue;
    }
    if (arg != "--registry" && arg != "--dump" && arg != "--day-of-year" && arg != "--ticker") {
      return UsageError("unknown argument '" + arg + "'");
    }
    if (i + 1 >= args.size()) return UsageError(arg + " needs a value");
    const std::string& value = args[++i];
    if (arg == "--registry") {
      request.registry = value;
    } else if (arg == "--dump") {
      request.dump = value;
    } else if (arg == "--ticker") {
      request.ticker = value;
    } else {
      request.dayOfYear = DayArgument(value);
      if (!request.dayOfYear) return UsageError("--day-of-year takes a number 0..365");
    }
  }
  if (request.registry.empty()) return UsageError("--registry FILE is required");
  if (request.dump.empty()) return UsageError("--dump OUT is required");
  return std::nullopt;
}

}  // namespace

int RunImage(const Arguments& args) {
  ImageRequest request;
  if (const std::optional<int> status = ParseArguments(args, request)) return *status;

  // A file the store cannot read would silently give the default pages.
  std::ifstream file(request.registry, std::ios::binary);
  std::ostringstream contents;
  contents << file.rdbuf();
  if (!file.is_open() || file.bad()) {
    std::fprintf(stderr, "torvanetx-cli image: cannot read settings file %s\n",
                 request.registry.c_str());
    return kExitFailed;
  }
  const RegFileParse parsed = ParseRegFile(contents.str(), kCurrentUserHive);
  if (!parsed.ok) {
    std::fprintf(stderr, "torvanetx-cli image: %s line %zu: %s\n", request.registry.c_str(),
                 parsed.errorLine, parsed.error.c_str());
    return kExitFailed;
  }
  SettingsStore settings(HiveFiles{request.registry, "", true});
  auto globals = std::make_unique<Globals>();
  Globals& g = *globals;

  // Start-up: the editor loads the pages and the colours of the page it shows.
  LoadPageStore(settings, g.Pages);
  LoadPageColours(settings, kStartPage);
  const CalendarDate today = LocalToday();
  g.DayOfYear =
      request.dayOfYear ? *request.dayOfYear : DayOfYear(today.year, today.month, today.day);
  g.Race.HeadsUp = request.headsUp;
  ImageBuilder builder(g, settings);
  builder.BuildIndexTable();
  builder.BuildImage();
  if (request.ticker) StartTicker(g, builder, Utf8ToAnsi(*request.ticker), kStartPage);
  // What one full cyclic pass leaves: the index table, then everything from 272.
  builder.BuildIndexTable();
  builder.BuildImage();

  std::string why;
  if (!WriteMemoryDump(request.dump, g.MapImage, &why)) {
    std::fprintf(stderr, "torvanetx-cli image: %s\n", why.c_str());
    return kExitFailed;
  }
  if (!g.Pages.FitsImage()) {
    std::fprintf(stderr,
                 "torvanetx-cli image: the pages need %d bytes, more than the 32000 the image "
                 "holds; pages past that are left out\n",
                 g.Pages.BlocksEnd());
  }
  std::printf("%s: pages 0..%d, ticker at %d, map end %d\n", request.dump.c_str(), g.Pages.N(),
              g.TickerAddress, g.MapEnd);
  return kExitOk;
}

}  // namespace torvane::cli
