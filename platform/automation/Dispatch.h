// Late binding: members found by name, called by dispatch identifier with
// their arguments as Variants, and the interfaces around it (events, class
// factories, persistence through a property bag).
#ifndef TORVANE_PLATFORM_AUTOMATION_DISPATCH_H_
#define TORVANE_PLATFORM_AUTOMATION_DISPATCH_H_

#include <cstdint>
#include <span>
#include <string>

#include "Unknown.h"
#include "Variant.h"

namespace torvane {

using DispId = int32_t;

inline constexpr DispId kDispIdUnknown = -1;

// Invoke flags.
inline constexpr uint16_t kDispatchMethod = 1;
inline constexpr uint16_t kDispatchPropertyGet = 2;
inline constexpr uint16_t kDispatchPropertyPut = 4;

// What a failing member reports beside its result.
struct ExcepInfo {
  std::string source;
  std::string description;
  std::string helpFile;
  uint32_t helpContext = 0;
  HResult scode = kSOk;
};

class IDispatch : public IUnknown {
 public:
  // One identifier per name (compared without regard to ASCII case);
  // kDispEUnknownName, with kDispIdUnknown in its slot, when a name is unknown.
  virtual HResult GetIDsOfNames(std::span<const std::string> names, std::span<DispId> ids) = 0;

  // Calls member id. args are in call order (first argument first); a
  // property put takes the new value as its only argument. result may be null.
  // A failing member returns its own result and, when excep is given,
  // describes the failure there.
  virtual HResult Invoke(DispId id, uint16_t flags, std::span<Variant> args, Variant* result,
                         ExcepInfo* excep) = 0;

 protected:
  ~IDispatch() = default;
};

// The connection through which an object fires its events: each advised sink
// receives every event as Invoke(eventId, kDispatchMethod, arguments).
class IConnectionPoint : public IUnknown {
 public:
  // *cookie identifies the connection for Unadvise. The sink is held (one
  // reference) until Unadvise or until the object goes away.
  virtual HResult Advise(IDispatch* sink, uint32_t* cookie) = 0;
  virtual HResult Unadvise(uint32_t cookie) = 0;

 protected:
  ~IConnectionPoint() = default;
};

class IClassFactory : public IUnknown {
 public:
  // outer must be null (no aggregation).
  virtual HResult CreateInstance(IUnknown* outer, const Guid& iid, void** out) = 0;
  // Keeps the module loaded while locked.
  virtual HResult LockServer(bool lock) = 0;

 protected:
  ~IClassFactory() = default;
};

// An object reached through IDispatch alone, deleted with its last reference.
class RefCountedDispatch : public IDispatch {
 public:
  HResult QueryInterface(const Guid& iid, void** out) override {
    if (out == nullptr) return kEPointer;
    if (iid == kIidUnknown || iid == kIidDispatch) {
      *out = static_cast<IDispatch*>(this);
      AddRef();
      return kSOk;
    }
    *out = nullptr;
    return kENoInterface;
  }
  uint32_t AddRef() override { return ++refs_; }
  uint32_t Release() override {
    const uint32_t left = --refs_;
    if (left == 0) delete this;
    return left;
  }

 protected:
  explicit RefCountedDispatch(uint32_t references) : refs_(references) {}
  virtual ~RefCountedDispatch() = default;

 private:
  uint32_t refs_;
};

// A class factory that lives as long as its module (a static object): it
// answers for IUnknown and IClassFactory and ignores reference counting.
class ModuleClassFactory : public IClassFactory {
 public:
  HResult QueryInterface(const Guid& iid, void** out) override {
    if (out == nullptr) return kEPointer;
    if (iid == kIidUnknown || iid == kIidClassFactory) {
      *out = static_cast<IClassFactory*>(this);
      return kSOk;
    }
    *out = nullptr;
    return kENoInterface;
  }
  uint32_t AddRef() override { return 2; }
  uint32_t Release() override { return 1; }

 protected:
  ~ModuleClassFactory() = default;
};

// Named values saved with a container's form.
class PropertyBag {
 public:
  virtual ~PropertyBag() = default;
  // kEInvalidArg when the bag holds no value of that name.
  virtual HResult Read(const std::string& name, Variant& value) = 0;
  virtual HResult Write(const std::string& name, const Variant& value) = 0;
};

class IPersistPropertyBag : public IUnknown {
 public:
  virtual HResult InitNew() = 0;
  virtual HResult Load(PropertyBag& bag) = 0;
  virtual HResult Save(PropertyBag& bag) = 0;

 protected:
  ~IPersistPropertyBag() = default;
};

// The signature of a module's class-object export.
using DllGetClassObjectFunction = HResult (*)(const Guid& clsid, const Guid& iid, void** out);
using DllCanUnloadNowFunction = HResult (*)();
using DllRegisterServerFunction = HResult (*)();

}  // namespace torvane

#endif  // TORVANE_PLATFORM_AUTOMATION_DISPATCH_H_
