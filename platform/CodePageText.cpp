#include "CodePageText.h"

#include "AnsiText.h"
#include "Utf8.h"

namespace torvane {
namespace {

constexpr int32_t kWindows1252 = 1252;
constexpr int32_t kUtf8 = 65001;
constexpr int32_t kLatin1 = 28591;
constexpr int32_t kAscii = 20127;

int32_t Resolve(int32_t codePage) { return codePage == 0 ? SystemAnsiCodePage() : codePage; }

// The code points of utf8, each malformed byte as '?'; with limit, code
// points above it become '?' too.
std::string Sanitised(std::string_view utf8, char32_t limit = 0x10FFFF, bool bytesOut = false) {
  std::string out;
  out.reserve(utf8.size());
  for (size_t i = 0; i < utf8.size();) {
    char32_t cp = 0;
    const size_t length = DecodeUtf8(utf8, i, cp);
    if (length == 0) {
      out += '?';
      ++i;
      continue;
    }
    if (cp > limit) {
      out += '?';
    } else if (bytesOut) {
      out += static_cast<char>(cp);
    } else {
      out.append(utf8.substr(i, length));
    }
    i += length;
  }
  return out;
}

}  // namespace

bool CodePageSupported(int32_t codePage) {
  codePage = Resolve(codePage);
  switch (codePage) {
    case kWindows1252:
    case kUtf8:
    case kLatin1:
    case kAscii:
      return true;
    default: {
      std::string ignored;
      return internal::SystemDecode(codePage, "A", ignored);
    }
  }
}

std::string CodePageToUtf8(int32_t codePage, std::string_view bytes) {
  codePage = Resolve(codePage);
  switch (codePage) {
    case kWindows1252:
      return AnsiToUtf8(bytes);
    case kUtf8:
      return std::string(bytes);
    case kLatin1: {
      std::string out;
      for (unsigned char c : bytes) AppendUtf8(out, c);
      return out;
    }
    case kAscii: {
      std::string out(bytes);
      for (char& c : out) {
        if (static_cast<unsigned char>(c) >= 0x80) c = '?';
      }
      return out;
    }
    default: {
      std::string out;
      if (internal::SystemDecode(codePage, bytes, out)) return out;
      return AnsiToUtf8(bytes);
    }
  }
}

std::string Utf8ToCodePage(int32_t codePage, std::string_view utf8) {
  codePage = Resolve(codePage);
  switch (codePage) {
    case kWindows1252:
      return Utf8ToAnsi(utf8);
    case kUtf8:
      return std::string(utf8);
    case kLatin1:
      return Sanitised(utf8, 0xFF, true);
    case kAscii:
      return Sanitised(utf8, 0x7F, true);
    default: {
      std::string out;
      if (internal::SystemEncode(codePage, Sanitised(utf8), out)) return out;
      return Utf8ToAnsi(utf8);
    }
  }
}

}  // namespace torvane
