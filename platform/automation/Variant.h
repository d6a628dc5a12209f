// The automation value: empty, Boolean, 16-bit or 32-bit integer, text (UTF-8)
// or a one-dimensional byte array, held by value or referring to another
// Variant (by reference, as event arguments are passed). kOther stands for a
// value of a kind the layer does not carry (an array of other elements, an
// object), which converts to nothing.
#ifndef TORVANE_PLATFORM_AUTOMATION_VARIANT_H_
#define TORVANE_PLATFORM_AUTOMATION_VARIANT_H_

#include <cstdint>
#include <string>
#include <vector>

#include "HResult.h"

namespace torvane {

enum class VarType : uint8_t { kEmpty, kBool, kI2, kI4, kString, kBytes, kOther };

class Variant {
 public:
  Variant() = default;
  static Variant Bool(bool value);
  static Variant I2(int16_t value);
  static Variant I4(int32_t value);
  static Variant String(std::string utf8);
  static Variant Bytes(std::vector<uint8_t> bytes);
  static Variant Other();
  // Refers to target, which must outlive the reference.
  static Variant Ref(Variant* target);

  bool IsRef() const { return ref_ != nullptr; }
  // The type of the value, looking through a reference.
  VarType Type() const { return Value().type_; }
  // The value itself, looking through a reference.
  const Variant& Value() const { return ref_ != nullptr ? ref_->Value() : *this; }
  Variant& Target() { return ref_ != nullptr ? ref_->Target() : *this; }

  // The value of the stated type; call only when Type() says so.
  bool AsBool() const { return Value().number_ != 0; }
  int16_t AsI2() const { return static_cast<int16_t>(Value().number_); }
  int32_t AsI4() const { return Value().number_; }
  const std::string& AsString() const { return Value().text_; }
  const std::vector<uint8_t>& AsBytes() const { return Value().bytes_; }

  friend bool operator==(const Variant& a, const Variant& b);

 private:
  VarType type_ = VarType::kEmpty;
  int32_t number_ = 0;  // Boolean as -1/0, integers
  std::string text_;
  std::vector<uint8_t> bytes_;
  Variant* ref_ = nullptr;
};

// Converts as automation does when a caller passes a value of another type:
// Booleans are -1/0 as numbers and "True"/"False" as text; text converts to
// numbers when it is a decimal integer and to Boolean when it is "True",
// "False" (any case) or a number. kDispEOverflow when a number does not fit,
// kDispETypeMismatch when no conversion exists.
HResult ChangeType(const Variant& from, VarType to, Variant& out);

}  // namespace torvane

#endif  // TORVANE_PLATFORM_AUTOMATION_VARIANT_H_
