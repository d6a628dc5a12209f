#include "CodePageText.h"

#include "AnsiText.h"

namespace torvane {
namespace {

constexpr int32_t kWindows1252 = 1252;
constexpr int32_t kUtf8 = 65001;
constexpr int32_t kLatin1 = 28591;
constexpr int32_t kAscii = 20127;

int32_t Resolve(int32_t codePage) { return codePage == 0 ? SystemAnsiCodePage() : codePage; }

void AppendUtf8(std::string& out, char32_t cp) {
  if (cp < 0x80) {
    out += static_cast<char>(cp);
  } else if (cp < 0x800) {
    out += static_cast<char>(0xC0 | (cp >> 6));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    out += static_cast<char>(0xE0 | (cp >> 12));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  }
}

// Length of the well-formed UTF-8 sequence at in[i] and its code point; 0
// when malformed.
size_t Utf8Sequence(std::string_view in, size_t i, char32_t& cp) {
  const auto b0 = static_cast<unsigned char>(in[i]);
  if (b0 < 0x80) {
    cp = b0;
    return 1;
  }
  size_t length = 0;
  if (b0 >= 0xC2 && b0 <= 0xDF) {
    length = 2;
    cp = b0 & 0x1F;
  } else if (b0 >= 0xE0 && b0 <= 0xEF) {
    length = 3;
    cp = b0 & 0x0F;
  } else if (b0 >= 0xF0 && b0 <= 0xF4) {
    length = 4;
    cp = b0 & 0x07;
  } else {
    return 0;
  }
  if (i + length > in.size()) return 0;
  for (size_t k = 1; k < length; ++k) {
    const auto b = static_cast<unsigned char>(in[i + k]);
    if ((b & 0xC0) != 0x80) return 0;
    cp = (cp << 6) | (b & 0x3F);
  }
  const char32_t minimum[] = {0, 0, 0x80, 0x800, 0x10000};
  if (cp < minimum[length] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return 0;
  return length;
}

// The code points of utf8, each malformed byte as '?'; with limit, code
// points above it become '?' too.
std::string Sanitised(std::string_view utf8, char32_t limit = 0x10FFFF, bool bytesOut = false) {
  std::string out;
  out.reserve(utf8.size());
  for (size_t i = 0; i < utf8.size();) {
    char32_t cp = 0;
    const size_t length = Utf8Sequence(utf8, i, cp);
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
