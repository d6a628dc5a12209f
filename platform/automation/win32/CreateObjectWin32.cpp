// Creating an object on Windows goes through COM itself: the system's
// registry, CoCreateInstance on this thread's apartment, and a wrapper that
// offers the automation layer's IDispatch.
#include <objbase.h>
#include <windows.h>

#include <cstdio>
#include <string>

#include "ComDispatchClient.h"
#include "ComVariant.h"
#include "CreateObject.h"

namespace torvane {
namespace {

std::string& ModuleError() {
  static std::string text;
  return text;
}

GUID ComGuid(const Guid& guid) {
  GUID result;
  result.Data1 = guid.data1;
  result.Data2 = guid.data2;
  result.Data3 = guid.data3;
  for (size_t i = 0; i < 8; ++i) result.Data4[i] = guid.data4[i];
  return result;
}

// The calling thread joins a single-threaded apartment once, as a program
// with windows does; a thread already in one stays as it is.
bool JoinApartment() {
  thread_local HRESULT joined = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  return SUCCEEDED(joined) || joined == RPC_E_CHANGED_MODE;
}

}  // namespace

HResult CreateInstanceOf(const RegistryHive&, const Guid& clsid, const Guid& iid, void** out) {
  if (out == nullptr) return kEPointer;
  *out = nullptr;
  if (iid != kIidDispatch && iid != kIidUnknown) return kENoInterface;
  if (!JoinApartment()) return kEUnexpected;
  ::IDispatch* object = nullptr;
  HRESULT hr = CoCreateInstance(ComGuid(clsid), nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch,
                                reinterpret_cast<void**>(&object));
  if (FAILED(hr)) {
    char text[64];
    std::snprintf(text, sizeof text, "CoCreateInstance failed with 0x%08lX",
                  static_cast<unsigned long>(hr));
    ModuleError() = text;
    return hr;
  }
  *out = WrapComDispatch(object);
  object->Release();
  return kSOk;
}

HResult CreateObject(const RegistryHive& hive, std::string_view progId, const Guid& iid,
                     void** out) {
  if (out == nullptr) return kEPointer;
  *out = nullptr;
  if (!JoinApartment()) return kEUnexpected;
  std::wstring name = WideFromUtf8(progId);
  CLSID clsid;
  if (FAILED(CLSIDFromProgID(name.c_str(), &clsid))) return kCoEClassString;
  Guid id{clsid.Data1, clsid.Data2, clsid.Data3, {}};
  for (size_t i = 0; i < 8; ++i) id.data4[i] = clsid.Data4[i];
  return CreateInstanceOf(hive, id, iid, out);
}

std::string LastModuleError() { return ModuleError(); }

}  // namespace torvane
