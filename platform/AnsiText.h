// The system's single-byte text is Windows-1252 (the "ANSI" code page). These
// convert at the edges: files, windows, sockets.
#ifndef TORVANE_PLATFORM_ANSITEXT_H_
#define TORVANE_PLATFORM_ANSITEXT_H_

#include <string>
#include <string_view>

namespace torvane {

// Every byte maps to one code point; the five bytes that Windows-1252 leaves
// undefined (0x81, 0x8D, 0x8F, 0x90, 0x9D) map to the C1 code points of the same
// value, so every byte round-trips.
std::string AnsiToUtf8(std::string_view ansi);

// Code points with no Windows-1252 byte become '?'; malformed UTF-8 bytes are
// taken as Windows-1252 bytes, so no input is rejected.
std::string Utf8ToAnsi(std::string_view utf8);

}  // namespace torvane

#endif  // TORVANE_PLATFORM_ANSITEXT_H_
