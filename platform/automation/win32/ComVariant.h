// Where the automation layer meets real COM: text between UTF-8 and BSTR, and
// values between Variant and VARIANT. Windows only.
#ifndef TORVANE_PLATFORM_AUTOMATION_WIN32_COMVARIANT_H_
#define TORVANE_PLATFORM_AUTOMATION_WIN32_COMVARIANT_H_

#include <oaidl.h>

#include <string>
#include <string_view>

#include "Variant.h"

namespace torvane {

std::wstring WideFromUtf8(std::string_view utf8);
std::string Utf8FromWide(const wchar_t* text, size_t length);

// A new BSTR the caller frees; null only when memory runs out.
BSTR BstrFromUtf8(std::string_view utf8);
std::string Utf8FromBstr(BSTR text);

// Looks through VT_BYREF. Numbers of other kinds (bytes, doubles, currency)
// become 32-bit integers where they fit; a one-dimensional array of bytes
// becomes kBytes; any other array, object or unknown kind becomes kOther, so
// the member called can refuse it with its own error.
Variant FromComVariant(const VARIANT& in);

// Fills out (which must hold nothing that needs freeing). E_OUTOFMEMORY when a
// string or array cannot be allocated.
HRESULT ToComVariant(const Variant& in, VARIANT* out);

}  // namespace torvane

#endif  // TORVANE_PLATFORM_AUTOMATION_WIN32_COMVARIANT_H_
