#include "ComVariant.h"

#include <oleauto.h>
#include <windows.h>

#include <vector>

namespace torvane {

std::wstring WideFromUtf8(std::string_view utf8) {
  if (utf8.empty()) return {};
  const int size = static_cast<int>(utf8.size());
  int length = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), size, nullptr, 0);
  std::wstring wide(static_cast<size_t>(length), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, utf8.data(), size, wide.data(), length);
  return wide;
}

std::string Utf8FromWide(const wchar_t* text, size_t length) {
  if (text == nullptr || length == 0) return {};
  const int size = static_cast<int>(length);
  int bytes = WideCharToMultiByte(CP_UTF8, 0, text, size, nullptr, 0, nullptr, nullptr);
  std::string utf8(static_cast<size_t>(bytes), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text, size, utf8.data(), bytes, nullptr, nullptr);
  return utf8;
}

BSTR BstrFromUtf8(std::string_view utf8) {
  std::wstring wide = WideFromUtf8(utf8);
  return SysAllocStringLen(wide.data(), static_cast<UINT>(wide.size()));
}

std::string Utf8FromBstr(BSTR text) { return Utf8FromWide(text, SysStringLen(text)); }

namespace {

Variant FromByteArray(SAFEARRAY* array) {
  if (array == nullptr || SafeArrayGetDim(array) != 1) return Variant::Other();
  LONG lower = 0;
  LONG upper = -1;
  SafeArrayGetLBound(array, 1, &lower);
  SafeArrayGetUBound(array, 1, &upper);
  std::vector<uint8_t> bytes;
  if (upper >= lower) {
    void* data = nullptr;
    if (FAILED(SafeArrayAccessData(array, &data))) return Variant::Other();
    const auto* first = static_cast<const uint8_t*>(data);
    bytes.assign(first, first + (upper - lower + 1));
    SafeArrayUnaccessData(array);
  }
  return Variant::Bytes(std::move(bytes));
}

}  // namespace

Variant FromComVariant(const VARIANT& in) {
  const VARIANT* value = &in;
  while (V_VT(value) == (VT_BYREF | VT_VARIANT) && V_VARIANTREF(value) != nullptr) {
    value = V_VARIANTREF(value);
  }
  const VARTYPE type = V_VT(value);
  const bool byRef = (type & VT_BYREF) != 0;
  switch (type & ~VT_BYREF) {
    case VT_EMPTY:
    case VT_NULL:
      return Variant();
    case VT_BOOL:
      return Variant::Bool((byRef ? *V_BOOLREF(value) : V_BOOL(value)) != VARIANT_FALSE);
    case VT_I2:
      return Variant::I2(byRef ? *V_I2REF(value) : V_I2(value));
    case VT_I4:
      return Variant::I4(byRef ? *V_I4REF(value) : V_I4(value));
    case VT_BSTR:
      return Variant::String(Utf8FromBstr(byRef ? *V_BSTRREF(value) : V_BSTR(value)));
    case VT_ARRAY | VT_UI1:
      return FromByteArray(byRef ? *V_ARRAYREF(value) : V_ARRAY(value));
    default:
      break;
  }
  if ((type & VT_ARRAY) != 0) return Variant::Other();
  // Script numbers arrive as doubles, bytes or currency: take them as a
  // 32-bit integer when automation's own conversion can.
  VARIANT number;
  VariantInit(&number);
  if (SUCCEEDED(VariantChangeType(&number, const_cast<VARIANT*>(value), 0, VT_I4))) {
    return Variant::I4(V_I4(&number));
  }
  return Variant::Other();
}

HRESULT ToComVariant(const Variant& in, VARIANT* out) {
  VariantInit(out);
  switch (in.Type()) {
    case VarType::kEmpty:
    case VarType::kOther:
      return S_OK;
    case VarType::kBool:
      V_VT(out) = VT_BOOL;
      V_BOOL(out) = in.AsBool() ? VARIANT_TRUE : VARIANT_FALSE;
      return S_OK;
    case VarType::kI2:
      V_VT(out) = VT_I2;
      V_I2(out) = in.AsI2();
      return S_OK;
    case VarType::kI4:
      V_VT(out) = VT_I4;
      V_I4(out) = in.AsI4();
      return S_OK;
    case VarType::kString: {
      BSTR text = BstrFromUtf8(in.AsString());
      if (text == nullptr) return E_OUTOFMEMORY;
      V_VT(out) = VT_BSTR;
      V_BSTR(out) = text;
      return S_OK;
    }
    case VarType::kBytes: {
      const std::vector<uint8_t>& bytes = in.AsBytes();
      SAFEARRAY* array = SafeArrayCreateVector(VT_UI1, 0, static_cast<ULONG>(bytes.size()));
      if (array == nullptr) return E_OUTOFMEMORY;
      if (!bytes.empty()) {
        void* data = nullptr;
        if (FAILED(SafeArrayAccessData(array, &data))) {
          SafeArrayDestroy(array);
          return E_OUTOFMEMORY;
        }
        std::copy(bytes.begin(), bytes.end(), static_cast<uint8_t*>(data));
        SafeArrayUnaccessData(array);
      }
      V_VT(out) = VT_ARRAY | VT_UI1;
      V_ARRAY(out) = array;
      return S_OK;
    }
  }
  return S_OK;
}

}  // namespace torvane
