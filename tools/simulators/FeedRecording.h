// Recordings of a timing feed: what was sent (or received) on the command
// stream and the tagged stream, chunk by chunk, with the time of each chunk.
//
// The file is text. A line starting with "#" is a comment; every other line is
//   <milliseconds> <C|T> <bytes>
// with the bytes escaped: "\\" for a backslash, "\r", "\n", "\t", "\xHH" for any
// other byte outside 32..126; everything else as it stands. Times never decrease.
#ifndef TORVANE_TOOLS_SIMULATORS_FEEDRECORDING_H_
#define TORVANE_TOOLS_SIMULATORS_FEEDRECORDING_H_

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace torvane::sim {

enum class FeedStream : char { kCommand = 'C', kTagged = 'T' };

struct FeedChunk {
  int64_t atMs = 0;
  FeedStream stream = FeedStream::kCommand;
  std::string bytes;

  bool operator==(const FeedChunk&) const = default;
};

// The first line of a recording.
std::string RecordingHeader();
// One line, with its line feed.
std::string FormatChunkLine(const FeedChunk& chunk);
std::string EscapeBytes(std::string_view bytes);

// The chunks of a recording, or nullopt with "line N: what" in *error for a
// line that cannot be read or a time that goes back.
std::optional<std::vector<FeedChunk>> ParseRecording(std::string_view text,
                                                     std::string* error = nullptr);

}  // namespace torvane::sim

#endif  // TORVANE_TOOLS_SIMULATORS_FEEDRECORDING_H_
