// The memory dump file: one decimal byte value per line for image addresses
// 0..32737, lines ending CR LF.
#ifndef TORVANE_APP_MEMMAP_MEMORYDUMP_H_
#define TORVANE_APP_MEMMAP_MEMORYDUMP_H_

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "MapImage.h"

namespace torvane {

inline constexpr int kMemoryDumpLines = 32738;
inline constexpr std::string_view kMemoryDumpName = "MemoryDump.csv";

// The dump text of image.
std::string FormatMemoryDump(const MapImageBytes& image);
// Creates or overwrites path with the dump of image; false (and *error set, when
// given) if the file cannot be written completely.
bool WriteMemoryDump(const std::string& path, const MapImageBytes& image,
                     std::string* error = nullptr);

// The bytes of a dump text: lines of a decimal value 0..255, ending LF or CR LF
// (the last line may lack its end). Any other line makes it nullopt, with the
// line number in *error.
std::optional<std::vector<uint8_t>> ParseMemoryDump(std::string_view text,
                                                    std::string* error = nullptr);

// The bytes of path: a file of exactly 32769 bytes is a raw image, anything
// else is read as a dump.
std::optional<std::vector<uint8_t>> ReadImageFile(const std::string& path,
                                                  std::string* error = nullptr);

}  // namespace torvane

#endif  // TORVANE_APP_MEMMAP_MEMORYDUMP_H_
