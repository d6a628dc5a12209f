// A minimal in-process module for the CreateObject tests: one class whose
// object answers the property "Answer" with 42.
#include <string>

#include "Dispatch.h"

namespace torvane {
namespace {

constexpr Guid kSampleClsid{
    0x11111111, 0x2222, 0x3333, {0x44, 0x44, 0x55, 0x55, 0x55, 0x55, 0x55, 0x55}};

class Sample final : public RefCountedDispatch {
 public:
  Sample() : RefCountedDispatch(0) {}
  HResult GetIDsOfNames(std::span<const std::string> names, std::span<DispId> ids) override {
    HResult hr = kSOk;
    for (size_t i = 0; i < names.size(); ++i) {
      ids[i] = names[i] == "Answer" ? 1 : kDispIdUnknown;
      if (ids[i] == kDispIdUnknown) hr = kDispEUnknownName;
    }
    return hr;
  }
  HResult Invoke(DispId id, uint16_t flags, std::span<Variant>, Variant* result,
                 ExcepInfo*) override {
    if (id != 1 || (flags & kDispatchPropertyGet) == 0) return kDispEMemberNotFound;
    if (result != nullptr) *result = Variant::I4(42);
    return kSOk;
  }
};

class Factory final : public ModuleClassFactory {
 public:
  HResult CreateInstance(IUnknown* outer, const Guid& iid, void** out) override {
    if (outer != nullptr) return kClassENoAggregation;
    auto* sample = new Sample;
    sample->AddRef();
    HResult hr = sample->QueryInterface(iid, out);
    sample->Release();
    return hr;
  }
  HResult LockServer(bool) override { return kSOk; }
};

}  // namespace
}  // namespace torvane

extern "C" __attribute__((visibility("default"))) torvane::HResult DllGetClassObject(
    const torvane::Guid& clsid, const torvane::Guid& iid, void** out) {
  static torvane::Factory factory;
  if (out == nullptr) return torvane::kEPointer;
  if (clsid != torvane::kSampleClsid) {
    *out = nullptr;
    return torvane::kClassEClassNotAvailable;
  }
  return factory.QueryInterface(iid, out);
}
