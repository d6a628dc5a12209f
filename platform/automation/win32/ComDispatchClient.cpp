#include "ComDispatchClient.h"

#include <ocidl.h>
#include <olectl.h>
#include <windows.h>

#include <string>
#include <vector>

#include "ComVariant.h"

namespace torvane {
namespace {

// Receives the object's events and hands each to the automation sink, its
// arguments first to last, by reference as the object passed them.
class EventSink final : public ::IDispatch {
 public:
  EventSink(torvane::IDispatch* sink, const IID& events) : sink_(sink), events_(events) {
    sink_->AddRef();
  }

  STDMETHODIMP QueryInterface(REFIID iid, void** out) override {
    if (out == nullptr) return E_POINTER;
    if (iid == IID_IUnknown || iid == IID_IDispatch || iid == events_) {
      *out = static_cast<::IDispatch*>(this);
      AddRef();
      return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
  }
  STDMETHODIMP_(ULONG) AddRef() override { return ++refs_; }
  STDMETHODIMP_(ULONG) Release() override {
    const ULONG left = --refs_;
    if (left == 0) delete this;
    return left;
  }
  STDMETHODIMP GetTypeInfoCount(UINT* count) override {
    if (count == nullptr) return E_POINTER;
    *count = 0;
    return S_OK;
  }
  STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
  STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override {
    return DISP_E_UNKNOWNNAME;
  }
  STDMETHODIMP Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* params, VARIANT*, EXCEPINFO*,
                      UINT*) override {
    const UINT count = params != nullptr && params->rgvarg != nullptr ? params->cArgs : 0;
    std::vector<Variant> values;
    values.reserve(count);
    for (UINT i = count; i-- > 0;) values.push_back(FromComVariant(params->rgvarg[i]));
    std::vector<Variant> args;
    for (Variant& value : values) args.push_back(Variant::Ref(&value));
    sink_->Invoke(id, kDispatchMethod, args, nullptr, nullptr);
    return S_OK;
  }

 private:
  ~EventSink() { sink_->Release(); }

  ULONG refs_ = 1;
  torvane::IDispatch* sink_;
  IID events_;
};

// The object's connection point for its default source interface.
class EventConnection final : public torvane::IConnectionPoint {
 public:
  EventConnection(::IConnectionPoint* point, const IID& events) : point_(point), events_(events) {}

  HResult QueryInterface(const Guid& iid, void** out) override {
    if (out == nullptr) return kEPointer;
    if (iid == kIidUnknown || iid == kIidConnectionPoint) {
      *out = static_cast<torvane::IConnectionPoint*>(this);
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
  HResult Advise(torvane::IDispatch* sink, uint32_t* cookie) override {
    if (sink == nullptr || cookie == nullptr) return kEPointer;
    auto* events = new EventSink(sink, events_);
    DWORD connection = 0;
    HRESULT hr = point_->Advise(events, &connection);
    events->Release();
    *cookie = connection;
    return hr;
  }
  HResult Unadvise(uint32_t cookie) override { return point_->Unadvise(cookie); }

 private:
  ~EventConnection() { point_->Release(); }

  uint32_t refs_ = 1;
  ::IConnectionPoint* point_;
  IID events_;
};

// The default source interface the object names, and its connection point.
::IConnectionPoint* FindEventPoint(::IDispatch* object, IID* events) {
  IProvideClassInfo2* info = nullptr;
  if (FAILED(object->QueryInterface(IID_IProvideClassInfo2, reinterpret_cast<void**>(&info)))) {
    return nullptr;
  }
  HRESULT hr = info->GetGUID(GUIDKIND_DEFAULT_SOURCE_DISP_IID, events);
  info->Release();
  if (FAILED(hr)) return nullptr;
  IConnectionPointContainer* container = nullptr;
  if (FAILED(object->QueryInterface(IID_IConnectionPointContainer,
                                    reinterpret_cast<void**>(&container)))) {
    return nullptr;
  }
  ::IConnectionPoint* point = nullptr;
  if (FAILED(container->FindConnectionPoint(*events, &point))) point = nullptr;
  container->Release();
  return point;
}

class DispatchClient final : public RefCountedDispatch {
 public:
  explicit DispatchClient(::IDispatch* object) : RefCountedDispatch(1), object_(object) {
    object_->AddRef();
  }

  // Beside IDispatch, the object's events as a connection point.
  HResult QueryInterface(const Guid& iid, void** out) override {
    if (out == nullptr || iid != kIidConnectionPoint) {
      return RefCountedDispatch::QueryInterface(iid, out);
    }
    *out = nullptr;
    IID events{};
    ::IConnectionPoint* point = FindEventPoint(object_, &events);
    if (point == nullptr) return kENoInterface;
    *out = static_cast<torvane::IConnectionPoint*>(new EventConnection(point, events));
    return kSOk;
  }

  HResult GetIDsOfNames(std::span<const std::string> names, std::span<DispId> ids) override {
    std::vector<std::wstring> wide;
    for (const std::string& name : names) wide.push_back(WideFromUtf8(name));
    std::vector<LPOLESTR> pointers;
    for (std::wstring& name : wide) pointers.push_back(name.data());
    std::vector<DISPID> found(names.size(), DISPID_UNKNOWN);
    HRESULT hr = object_->GetIDsOfNames(IID_NULL, pointers.data(), static_cast<UINT>(names.size()),
                                        LOCALE_USER_DEFAULT, found.data());
    for (size_t i = 0; i < ids.size() && i < found.size(); ++i) ids[i] = found[i];
    return hr;
  }

  HResult Invoke(DispId id, uint16_t flags, std::span<Variant> args, Variant* result,
                 ExcepInfo* excep) override {
    // COM lists the arguments last first.
    std::vector<VARIANT> values(args.size());
    for (size_t i = 0; i < args.size(); ++i) {
      if (FAILED(ToComVariant(args[i].Value(), &values[args.size() - 1 - i]))) {
        for (VARIANT& value : values) VariantClear(&value);
        return kEOutOfMemory;
      }
    }
    DISPID putId = DISPID_PROPERTYPUT;
    const bool put = (flags & kDispatchPropertyPut) != 0;
    DISPPARAMS params{values.data(), put ? &putId : nullptr, static_cast<UINT>(values.size()),
                      put ? 1u : 0u};
    VARIANT answer;
    VariantInit(&answer);
    EXCEPINFO info{};
    UINT argError = 0;
    HRESULT hr = object_->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, flags, &params,
                                 put ? nullptr : &answer, &info, &argError);
    for (VARIANT& value : values) VariantClear(&value);
    if (hr == DISP_E_EXCEPTION) {
      if (info.pfnDeferredFillIn != nullptr) info.pfnDeferredFillIn(&info);
      // The member's own code, as a caller of the object itself would see it.
      hr = info.scode != 0 ? info.scode : E_FAIL;
      if (excep != nullptr) {
        excep->source = Utf8FromBstr(info.bstrSource);
        excep->description = Utf8FromBstr(info.bstrDescription);
        excep->helpFile = Utf8FromBstr(info.bstrHelpFile);
        excep->helpContext = info.dwHelpContext;
        excep->scode = hr;
      }
    }
    SysFreeString(info.bstrSource);
    SysFreeString(info.bstrDescription);
    SysFreeString(info.bstrHelpFile);
    if (SUCCEEDED(hr) && result != nullptr) *result = FromComVariant(answer);
    VariantClear(&answer);
    return hr;
  }

 private:
  ~DispatchClient() override { object_->Release(); }

  ::IDispatch* object_;
};

}  // namespace

torvane::IDispatch* WrapComDispatch(::IDispatch* object) { return new DispatchClient(object); }

}  // namespace torvane
