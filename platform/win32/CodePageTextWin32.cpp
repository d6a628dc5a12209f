// The code page converters of Windows: MultiByteToWideChar and
// WideCharToMultiByte, through UTF-16.
#include <windows.h>

#include <string>

#include "CodePageText.h"

namespace torvane {
namespace {

constexpr wchar_t kReplacement = 0xFFFD;

// Strict decoding of bytes into wide; false when a byte is undefined.
bool DecodeStrict(UINT codePage, std::string_view bytes, std::wstring& wide) {
  wide.clear();
  if (bytes.empty()) return true;
  const int length = static_cast<int>(bytes.size());
  DWORD flags = MB_ERR_INVALID_CHARS;
  int n = MultiByteToWideChar(codePage, flags, bytes.data(), length, nullptr, 0);
  if (n == 0 && GetLastError() == ERROR_INVALID_FLAGS) {
    // Pages such as ISO-2022 or UTF-7 take no flags.
    flags = 0;
    n = MultiByteToWideChar(codePage, flags, bytes.data(), length, nullptr, 0);
  }
  if (n <= 0) return false;
  wide.resize(static_cast<size_t>(n));
  return MultiByteToWideChar(codePage, flags, bytes.data(), length, wide.data(), n) == n;
}

// Byte by byte (a lead byte with the next one) once the whole text failed:
// what does not decode becomes U+FFFD and decoding goes on at the next byte.
std::wstring DecodeReplacing(UINT codePage, std::string_view bytes) {
  CPINFO info{};
  const bool doubleByte = GetCPInfo(codePage, &info) && info.MaxCharSize == 2;
  std::wstring wide;
  std::wstring piece;
  for (size_t i = 0; i < bytes.size();) {
    const auto byte = static_cast<BYTE>(bytes[i]);
    const size_t length =
        doubleByte && IsDBCSLeadByteEx(codePage, byte) && i + 1 < bytes.size() ? 2 : 1;
    if (DecodeStrict(codePage, bytes.substr(i, length), piece) && !piece.empty()) {
      wide += piece;
      i += length;
    } else {
      wide += kReplacement;
      ++i;
    }
  }
  return wide;
}

std::string WideToUtf8(const std::wstring& wide) {
  if (wide.empty()) return {};
  const int length = static_cast<int>(wide.size());
  const int n = WideCharToMultiByte(CP_UTF8, 0, wide.data(), length, nullptr, 0, nullptr, nullptr);
  std::string out(static_cast<size_t>(n > 0 ? n : 0), '\0');
  if (n > 0) WideCharToMultiByte(CP_UTF8, 0, wide.data(), length, out.data(), n, nullptr, nullptr);
  return out;
}

}  // namespace

int32_t SystemAnsiCodePage() { return static_cast<int32_t>(GetACP()); }

namespace internal {

bool SystemDecode(int32_t codePage, std::string_view bytes, std::string& utf8) {
  const auto page = static_cast<UINT>(codePage);
  if (codePage <= 0 || !IsValidCodePage(page)) return false;
  std::wstring wide;
  if (!DecodeStrict(page, bytes, wide)) wide = DecodeReplacing(page, bytes);
  utf8 = WideToUtf8(wide);
  return true;
}

bool SystemEncode(int32_t codePage, std::string_view utf8, std::string& bytes) {
  const auto page = static_cast<UINT>(codePage);
  if (codePage <= 0 || !IsValidCodePage(page)) return false;
  bytes.clear();
  if (utf8.empty()) return true;
  const int length = static_cast<int>(utf8.size());
  const int wideLength = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), length, nullptr, 0);
  if (wideLength <= 0) return true;
  std::wstring wide(static_cast<size_t>(wideLength), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, utf8.data(), length, wide.data(), wideLength);
  // No best-fit look-alikes: what the page lacks becomes '?'.
  DWORD flags = WC_NO_BEST_FIT_CHARS;
  const char* defaultChar = "?";
  int n =
      WideCharToMultiByte(page, flags, wide.data(), wideLength, nullptr, 0, defaultChar, nullptr);
  if (n == 0 && GetLastError() == ERROR_INVALID_PARAMETER) {
    // Pages such as ISO-2022 or UTF-7 take neither flags nor a default.
    flags = 0;
    defaultChar = nullptr;
    n = WideCharToMultiByte(page, flags, wide.data(), wideLength, nullptr, 0, nullptr, nullptr);
  }
  if (n <= 0) return true;
  bytes.resize(static_cast<size_t>(n));
  WideCharToMultiByte(page, flags, wide.data(), wideLength, bytes.data(), n, defaultChar, nullptr);
  return true;
}

}  // namespace internal
}  // namespace torvane
