// Text in a code page's bytes to UTF-8 and back, through the system's own
// converters (MultiByteToWideChar and WideCharToMultiByte on Windows, iconv
// elsewhere). Code page 0 stands for the system's ANSI code page. A page the
// system cannot convert (an unknown number such as 12345, or one that is not
// byte text such as 1200) is read and written as Windows-1252.
#ifndef TORVANE_PLATFORM_CODEPAGETEXT_H_
#define TORVANE_PLATFORM_CODEPAGETEXT_H_

#include <cstdint>
#include <string>
#include <string_view>

namespace torvane {

// GetACP() on Windows. Elsewhere the codeset of the program's locale
// (nl_langinfo(CODESET), as setlocale last chose it) as a code page number;
// the C locale's plain ASCII, like a codeset without a number, reads as
// Windows-1252, the system's text before any locale was chosen.
int32_t SystemAnsiCodePage();

// True when the system converts codePage (0 always).
bool CodePageSupported(int32_t codePage);

// Each byte (or byte sequence) the page does not define becomes U+FFFD and
// decoding goes on with the next byte, so nothing after it is lost. Three
// pages keep their fixed forms on every system: 1252 as AnsiToUtf8 (every
// byte round-trips), 65001 passes the bytes as they are, 20127 reads bytes
// from 0x80 as '?'.
std::string CodePageToUtf8(int32_t codePage, std::string_view bytes);

// Characters the page cannot represent become '?' (no best-fit look-alikes),
// as does each byte of malformed UTF-8; 1252 is Utf8ToAnsi and 65001 passes
// the text as it is.
std::string Utf8ToCodePage(int32_t codePage, std::string_view utf8);

#ifndef _WIN32
// The code page number of a codeset name as nl_langinfo gives it ("UTF-8"
// 65001, "ISO-8859-5" 28595, "SHIFT_JIS" 932 ...); 0 when it has none.
int32_t CodePageOfCodeset(std::string_view codeset);
#endif

namespace internal {
// The system's converter alone, on valid UTF-8; false when it cannot convert
// the page (nothing is written then).
bool SystemDecode(int32_t codePage, std::string_view bytes, std::string& utf8);
bool SystemEncode(int32_t codePage, std::string_view utf8, std::string& bytes);
}  // namespace internal

}  // namespace torvane

#endif  // TORVANE_PLATFORM_CODEPAGETEXT_H_
