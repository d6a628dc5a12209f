#include "FeedRecording.h"

#include <charconv>

#include "HexDigits.h"

namespace torvane::sim {
namespace {

bool Unescape(std::string_view text, std::string& out, std::string& why) {
  for (size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (c != '\\') {
      out += c;
      continue;
    }
    if (++i == text.size()) {
      why = "a backslash ends the line";
      return false;
    }
    switch (text[i]) {
      case '\\':
        out += '\\';
        break;
      case 'r':
        out += '\r';
        break;
      case 'n':
        out += '\n';
        break;
      case 't':
        out += '\t';
        break;
      case 'x': {
        const int high = i + 1 < text.size() ? HexDigitValue(text[i + 1]) : -1;
        const int low = i + 2 < text.size() ? HexDigitValue(text[i + 2]) : -1;
        if (high < 0 || low < 0) {
          why = "\\x wants two hex digits";
          return false;
        }
        out += static_cast<char>(high * 16 + low);
        i += 2;
        break;
      }
      default:
        why = std::string("unknown escape \\") + text[i];
        return false;
    }
  }
  return true;
}

}  // namespace

std::string RecordingHeader() {
  return "# torvanetx-timingsim feed recording: <ms> <C|T> <bytes>\n";
}

std::string EscapeBytes(std::string_view bytes) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string out;
  for (char c : bytes) {
    const auto b = static_cast<unsigned char>(c);
    switch (c) {
      case '\\':
        out += "\\\\";
        continue;
      case '\r':
        out += "\\r";
        continue;
      case '\n':
        out += "\\n";
        continue;
      case '\t':
        out += "\\t";
        continue;
      default:
        break;
    }
    if (b < 32 || b > 126) {
      out += "\\x";
      out += kHex[b >> 4];
      out += kHex[b & 15];
    } else {
      out += c;
    }
  }
  return out;
}

std::string FormatChunkLine(const FeedChunk& chunk) {
  return std::to_string(chunk.atMs) + " " + static_cast<char>(chunk.stream) + " " +
         EscapeBytes(chunk.bytes) + "\n";
}

std::optional<std::vector<FeedChunk>> ParseRecording(std::string_view text, std::string* error) {
  std::vector<FeedChunk> chunks;
  int lineNumber = 0;
  auto fail = [&](const std::string& why) -> std::optional<std::vector<FeedChunk>> {
    if (error != nullptr) *error = "line " + std::to_string(lineNumber) + ": " + why;
    return std::nullopt;
  };
  while (!text.empty()) {
    ++lineNumber;
    const size_t end = text.find('\n');
    std::string_view line = text.substr(0, end);
    text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
    // Escaped bytes never hold a raw carriage return, so one here is a line end.
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (line.empty() || line.front() == '#') continue;

    FeedChunk chunk;
    const auto [next, ec] = std::from_chars(line.data(), line.data() + line.size(), chunk.atMs);
    if (ec != std::errc() || chunk.atMs < 0) return fail("a time in milliseconds is missing");
    line.remove_prefix(static_cast<size_t>(next - line.data()));
    if (line.size() < 3 || line[0] != ' ' || (line[1] != 'C' && line[1] != 'T') || line[2] != ' ') {
      return fail("the time must be followed by \" C \" or \" T \"");
    }
    chunk.stream = static_cast<FeedStream>(line[1]);
    std::string why;
    if (!Unescape(line.substr(3), chunk.bytes, why)) return fail(why);
    if (!chunks.empty() && chunk.atMs < chunks.back().atMs) return fail("the time goes back");
    chunks.push_back(std::move(chunk));
  }
  return chunks;
}

}  // namespace torvane::sim
