// torvanetx-cli decode: what a receiver card holds after receiving an image,
// read from a memory dump or a raw image file.
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "AnsiText.h"
#include "CliCommand.h"
#include "ImageDecoder.h"
#include "ImageJson.h"
#include "MemoryDump.h"

namespace torvane::cli {
namespace {

constexpr const char* kUsage =
    "usage: torvanetx-cli decode [--json] DUMP\n"
    "Reads a memory dump (one decimal byte a line) or a raw 32769-byte image and shows\n"
    "what a receiver card holds: ticker state, index table, every page block and the\n"
    "ticker text, and the address of every checksum that fails. Exit status 0 when\n"
    "every checksum holds, 1 otherwise.\n";

int UsageError(const std::string& message) {
  std::fprintf(stderr, "torvanetx-cli decode: %s\n%s", message.c_str(), kUsage);
  return kExitUsage;
}

std::string Quoted(const std::string& ansi) { return "\"" + AnsiToUtf8(ansi) + "\""; }

void PrintText(const DecodedImage& image) {
  std::printf("ticker: %s, block at %d", image.tickerRunning ? "running" : "not running",
              image.tickerAddress);
  if (image.tickerRunning) std::printf(", colour 0x%02X", image.tickerColour);
  std::printf(", text %s\n", Quoted(image.ticker).c_str());
  std::printf("index table: %zu pages\n", image.pages.size());
  for (const DecodedPage& page : image.pages) {
    std::printf(
        "page %d at %d: %d rows, colours cursor 0x%02X title 0x%02X page 0x%02X, flags 0x%02X, "
        "day %d\n",
        page.number, page.address, page.rows, page.cursorColour, page.titleColour, page.pageColour,
        page.flags, page.dayOfYear);
    std::printf("  title %s\n", Quoted(page.title).c_str());
    for (size_t i = 0; i < page.lines.size(); ++i) {
      std::printf("  %3zu %s -> %d\n", i, Quoted(page.lines[i].text).c_str(), page.lines[i].link);
    }
  }
  for (const std::string& problem : image.problems) std::printf("problem: %s\n", problem.c_str());
  if (image.badChecksums.empty()) {
    std::printf("checksums: all hold\n");
    return;
  }
  std::printf("bad checksums at:");
  for (int address : image.badChecksums) std::printf(" %d", address);
  std::printf("\n");
}

}  // namespace

int RunDecode(const Arguments& args) {
  bool json = false;
  std::string path;
  for (const std::string& arg : args) {
    if (arg == "--help" || arg == "-h") {
      std::printf("%s", kUsage);
      return kExitOk;
    }
    if (arg == "--json") {
      json = true;
    } else if (!arg.empty() && arg[0] == '-') {
      return UsageError("unknown option '" + arg + "'");
    } else if (path.empty()) {
      path = arg;
    } else {
      return UsageError("one DUMP only");
    }
  }
  if (path.empty()) return UsageError("DUMP is required");

  std::string error;
  const std::optional<std::vector<uint8_t>> bytes = ReadImageFile(path, &error);
  if (!bytes) {
    std::fprintf(stderr, "torvanetx-cli decode: %s\n", error.c_str());
    return kExitFailed;
  }
  const DecodedImage image = DecodeImage(*bytes);
  if (json) {
    std::printf("%s\n", ToJson(image).c_str());
  } else {
    PrintText(image);
  }
  return image.Valid() ? kExitOk : kExitFailed;
}

}  // namespace torvane::cli
