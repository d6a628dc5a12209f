#include "Variant.h"

#include <algorithm>
#include <cstdlib>
#include <limits>
#include <string_view>

namespace torvane {
namespace {

bool EqualsNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    char x = a[i] >= 'A' && a[i] <= 'Z' ? char(a[i] - 'A' + 'a') : a[i];
    char y = b[i] >= 'A' && b[i] <= 'Z' ? char(b[i] - 'A' + 'a') : b[i];
    if (x != y) return false;
  }
  return true;
}

std::string_view Trim(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
  return text;
}

// A decimal integer with optional sign; false when the text is not one.
bool ParseInteger(std::string_view text, int64_t& value) {
  text = Trim(text);
  bool negative = false;
  if (!text.empty() && (text.front() == '-' || text.front() == '+')) {
    negative = text.front() == '-';
    text.remove_prefix(1);
  }
  if (text.empty()) return false;
  value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
    // Saturates far beyond 32 bits, so a huge number still reads as overflow.
    value = std::min<int64_t>(value * 10 + (c - '0'), int64_t(1) << 40);
  }
  if (negative) value = -value;
  return true;
}

// The value as a number, for the integer and Boolean targets.
HResult NumberOf(const Variant& from, int64_t& number) {
  switch (from.Type()) {
    case VarType::kEmpty:
      number = 0;
      return kSOk;
    case VarType::kBool:
      number = from.AsBool() ? -1 : 0;
      return kSOk;
    case VarType::kI2:
    case VarType::kI4:
      number = from.AsI4();
      return kSOk;
    case VarType::kString: {
      std::string_view text = Trim(from.AsString());
      if (EqualsNoCase(text, "true")) {
        number = -1;
        return kSOk;
      }
      if (EqualsNoCase(text, "false")) {
        number = 0;
        return kSOk;
      }
      if (!ParseInteger(text, number)) return kDispETypeMismatch;
      return kSOk;
    }
    case VarType::kBytes:
    case VarType::kOther:
      return kDispETypeMismatch;
  }
  return kDispETypeMismatch;
}

}  // namespace

Variant Variant::Bool(bool value) {
  Variant v;
  v.type_ = VarType::kBool;
  v.number_ = value ? -1 : 0;
  return v;
}

Variant Variant::I2(int16_t value) {
  Variant v;
  v.type_ = VarType::kI2;
  v.number_ = value;
  return v;
}

Variant Variant::I4(int32_t value) {
  Variant v;
  v.type_ = VarType::kI4;
  v.number_ = value;
  return v;
}

Variant Variant::String(std::string utf8) {
  Variant v;
  v.type_ = VarType::kString;
  v.text_ = std::move(utf8);
  return v;
}

Variant Variant::Bytes(std::vector<uint8_t> bytes) {
  Variant v;
  v.type_ = VarType::kBytes;
  v.bytes_ = std::move(bytes);
  return v;
}

Variant Variant::Other() {
  Variant v;
  v.type_ = VarType::kOther;
  return v;
}

Variant Variant::Ref(Variant* target) {
  Variant v;
  v.ref_ = target;
  return v;
}

bool operator==(const Variant& a, const Variant& b) {
  const Variant& x = a.Value();
  const Variant& y = b.Value();
  return x.type_ == y.type_ && x.number_ == y.number_ && x.text_ == y.text_ && x.bytes_ == y.bytes_;
}

HResult ChangeType(const Variant& from, VarType to, Variant& out) {
  int64_t number = 0;
  switch (to) {
    case VarType::kEmpty:
      out = Variant();
      return kSOk;
    case VarType::kBool:
      if (HResult hr = NumberOf(from, number); Failed(hr)) return hr;
      out = Variant::Bool(number != 0);
      return kSOk;
    case VarType::kI2:
      if (HResult hr = NumberOf(from, number); Failed(hr)) return hr;
      if (number < std::numeric_limits<int16_t>::min() ||
          number > std::numeric_limits<int16_t>::max()) {
        return kDispEOverflow;
      }
      out = Variant::I2(static_cast<int16_t>(number));
      return kSOk;
    case VarType::kI4:
      if (HResult hr = NumberOf(from, number); Failed(hr)) return hr;
      if (number < std::numeric_limits<int32_t>::min() ||
          number > std::numeric_limits<int32_t>::max()) {
        return kDispEOverflow;
      }
      out = Variant::I4(static_cast<int32_t>(number));
      return kSOk;
    case VarType::kString:
      switch (from.Type()) {
        case VarType::kEmpty:
          out = Variant::String("");
          return kSOk;
        case VarType::kBool:
          out = Variant::String(from.AsBool() ? "True" : "False");
          return kSOk;
        case VarType::kI2:
        case VarType::kI4:
          out = Variant::String(std::to_string(from.AsI4()));
          return kSOk;
        case VarType::kString:
          out = Variant::String(from.AsString());
          return kSOk;
        case VarType::kBytes:
        case VarType::kOther:
          return kDispETypeMismatch;
      }
      return kDispETypeMismatch;
    case VarType::kBytes:
      if (from.Type() != VarType::kBytes) return kDispETypeMismatch;
      out = Variant::Bytes(from.AsBytes());
      return kSOk;
    case VarType::kOther:
      return kDispETypeMismatch;
  }
  return kDispETypeMismatch;
}

}  // namespace torvane
