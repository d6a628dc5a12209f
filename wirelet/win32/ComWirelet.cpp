#include "ComWirelet.h"

#include <oleauto.h>
#include <olectl.h>

#include <memory>
#include <string>

#include "CallbackSink.h"
#include "ComVariant.h"
#include "ErrorInfo.h"
#include "WindowSocketWatcher.h"
#include "WireletModuleWin32.h"

namespace torvane {
namespace {

// The system's error object for what the shared control left on the thread.
void PublishErrorInfo(const torvane::ErrorInfo& info) {
  ICreateErrorInfo* create = nullptr;
  if (FAILED(CreateErrorInfo(&create))) return;
  std::wstring source = WideFromUtf8(info.source);
  std::wstring description = WideFromUtf8(info.description);
  std::wstring helpFile = WideFromUtf8(info.helpFile);
  create->SetGUID(IID_IWirelet);
  create->SetSource(source.data());
  create->SetDescription(description.data());
  create->SetHelpFile(helpFile.data());
  create->SetHelpContext(info.helpContext);
  ::IErrorInfo* error = nullptr;
  if (SUCCEEDED(create->QueryInterface(IID_IErrorInfo, reinterpret_cast<void**>(&error)))) {
    ::SetErrorInfo(0, error);
    error->Release();
  }
  create->Release();
}

VARIANT_BOOL ComBool(bool value) { return value ? VARIANT_TRUE : VARIANT_FALSE; }

std::string Text(BSTR value) { return Utf8FromBstr(value); }

// The container's property bag as the shared control reads and writes it.
class BagOfContainer final : public torvane::PropertyBag {
 public:
  BagOfContainer(IPropertyBag* bag, IErrorLog* log) : bag_(bag), log_(log) {}

  HResult Read(const std::string& name, Variant& value) override {
    std::wstring wide = WideFromUtf8(name);
    VARIANT stored;
    VariantInit(&stored);
    HRESULT hr = bag_->Read(wide.c_str(), &stored, log_);
    if (FAILED(hr)) return kEInvalidArg;
    value = FromComVariant(stored);
    VariantClear(&stored);
    return kSOk;
  }
  HResult Write(const std::string& name, const Variant& value) override {
    std::wstring wide = WideFromUtf8(name);
    VARIANT stored;
    if (HRESULT hr = ToComVariant(value.Value(), &stored); FAILED(hr)) return hr;
    HRESULT hr = bag_->Write(wide.c_str(), &stored);
    VariantClear(&stored);
    return hr;
  }

 private:
  IPropertyBag* bag_;
  IErrorLog* log_;
};

}  // namespace

ComWirelet* ComWirelet::Create() { return new ComWirelet(); }

ComWirelet::ComWirelet() {
  WireletObjectCreated();
  control_ = torvane::Wirelet::Create(
      [] { return std::unique_ptr<SocketWatcher>(new WindowSocketWatcher()); });
  eventSink_ = CallbackSink::Create(
      [this](DispId id, std::span<Variant> args) { FireToSinks(id, args); });
  control_->Advise(eventSink_, &eventCookie_);
}

ComWirelet::~ComWirelet() {
  for (auto& [cookie, sink] : sinks_) sink->Release();
  sinks_.clear();
  control_->Unadvise(eventCookie_);
  eventSink_->Release();
  control_->Release();
  if (typeLib_ != nullptr) typeLib_->Release();
  WireletObjectDestroyed();
}

// ------------------------------------------------------------------ IUnknown

STDMETHODIMP ComWirelet::QueryInterface(REFIID iid, void** out) {
  if (out == nullptr) return E_POINTER;
  if (iid == IID_IUnknown || iid == IID_IDispatch || iid == IID_IWirelet) {
    *out = static_cast<::IWirelet*>(this);
  } else if (iid == IID_IConnectionPointContainer) {
    *out = static_cast<IConnectionPointContainer*>(this);
  } else if (iid == IID_IProvideClassInfo || iid == IID_IProvideClassInfo2) {
    *out = static_cast<IProvideClassInfo2*>(this);
  } else if (iid == IID_IPersistPropertyBag || iid == IID_IPersist) {
    *out = static_cast<::IPersistPropertyBag*>(this);
  } else if (iid == IID_ISupportErrorInfo) {
    *out = static_cast<ISupportErrorInfo*>(this);
  } else {
    *out = nullptr;
    return E_NOINTERFACE;
  }
  AddRef();
  return S_OK;
}

STDMETHODIMP_(ULONG) ComWirelet::AddRef() { return ++refs_; }

STDMETHODIMP_(ULONG) ComWirelet::Release() {
  const ULONG left = --refs_;
  if (left == 0) delete this;
  return left;
}

// ------------------------------------------------------------------ errors

template <typename Store>
HRESULT ComWirelet::Finish(HResult hr, Store store) {
  std::optional<torvane::ErrorInfo> info = TakeErrorInfo();
  if (Failed(hr)) {
    if (info) PublishErrorInfo(*info);
    return hr;
  }
  ::SetErrorInfo(0, nullptr);
  store();
  return S_OK;
}

HRESULT ComWirelet::Finish(HResult hr) {
  return Finish(hr, [] {});
}

STDMETHODIMP ComWirelet::InterfaceSupportsErrorInfo(REFIID iid) {
  return iid == IID_IWirelet || iid == IID_IDispatch ? S_OK : S_FALSE;
}

// ------------------------------------------------------------------ type information

HRESULT ComWirelet::TypeInfoOf(REFGUID guid, ITypeInfo** info) {
  if (info == nullptr) return E_POINTER;
  *info = nullptr;
  if (typeLib_ == nullptr) {
    const std::wstring path = WireletModulePath();
    if (HRESULT hr = LoadTypeLibEx(path.c_str(), REGKIND_NONE, &typeLib_); FAILED(hr)) return hr;
  }
  return typeLib_->GetTypeInfoOfGuid(guid, info);
}

STDMETHODIMP ComWirelet::GetTypeInfoCount(UINT* count) {
  if (count == nullptr) return E_POINTER;
  *count = 1;
  return S_OK;
}

STDMETHODIMP ComWirelet::GetTypeInfo(UINT index, LCID, ITypeInfo** info) {
  if (index != 0) return DISP_E_BADINDEX;
  return TypeInfoOf(IID_IWirelet, info);
}

STDMETHODIMP ComWirelet::GetClassInfo(ITypeInfo** info) { return TypeInfoOf(CLSID_Wirelet, info); }

STDMETHODIMP ComWirelet::GetGUID(DWORD kind, GUID* guid) {
  if (guid == nullptr) return E_POINTER;
  if (kind != GUIDKIND_DEFAULT_SOURCE_DISP_IID) return E_INVALIDARG;
  *guid = DIID__IWireletEvents;
  return S_OK;
}

// ------------------------------------------------------------------ IDispatch

STDMETHODIMP ComWirelet::GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) {
  if (names == nullptr || ids == nullptr) return E_POINTER;
  std::vector<std::string> texts;
  for (UINT i = 0; i < count; ++i) {
    texts.push_back(names[i] != nullptr ? Utf8FromWide(names[i], wcslen(names[i])) : "");
  }
  std::vector<DispId> found(count, kDispIdUnknown);
  const HResult hr = control_->GetIDsOfNames(texts, found);
  for (UINT i = 0; i < count; ++i) ids[i] = found[i];
  return hr;
}

STDMETHODIMP ComWirelet::Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params,
                                VARIANT* result, EXCEPINFO* excep, UINT* argError) {
  const UINT count = params != nullptr ? params->cArgs : 0;
  if (count > 0 && params->rgvarg == nullptr) return E_INVALIDARG;
  const bool put = (flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF)) != 0;
  if (params != nullptr && params->cNamedArgs > 0 &&
      !(put && params->cNamedArgs == 1 && params->rgdispidNamedArgs != nullptr &&
        params->rgdispidNamedArgs[0] == DISPID_PROPERTYPUT)) {
    return DISP_E_NONAMEDARGS;
  }
  // The caller lists the arguments last first.
  std::vector<Variant> args;
  args.reserve(count);
  for (UINT i = count; i-- > 0;) args.push_back(FromComVariant(params->rgvarg[i]));

  uint16_t ownFlags = flags & (DISPATCH_METHOD | DISPATCH_PROPERTYGET);
  if (put) ownFlags |= kDispatchPropertyPut;
  AddRef();  // a handler may release the caller's last reference
  ExcepInfo info;
  Variant value;
  const HResult hr = control_->Invoke(id, ownFlags, args, &value, &info);
  TakeErrorInfo();
  HRESULT answer = hr;
  if (Failed(hr) && (!info.description.empty() || info.scode != kSOk)) {
    PublishErrorInfo({info.source, info.description, info.helpFile, info.helpContext});
    if (excep != nullptr) {
      *excep = EXCEPINFO{};
      excep->bstrSource = BstrFromUtf8(info.source);
      excep->bstrDescription = BstrFromUtf8(info.description);
      excep->bstrHelpFile = BstrFromUtf8(info.helpFile);
      excep->dwHelpContext = info.helpContext;
      excep->scode = info.scode != kSOk ? info.scode : hr;
    }
    answer = DISP_E_EXCEPTION;
  } else if (hr == kDispETypeMismatch || hr == kDispEOverflow) {
    if (argError != nullptr) *argError = 0;
  } else if (Succeeded(hr) && result != nullptr) {
    answer = ToComVariant(value, result);
  }
  Release();
  return answer;
}

// ------------------------------------------------------------------ IWirelet

#define WIRELET_BOOL_PROPERTY(Name)                                              \
  STDMETHODIMP ComWirelet::get_##Name(VARIANT_BOOL* value) {                     \
    if (value == nullptr) return E_POINTER;                                      \
    bool on = false;                                                             \
    return Finish(control_->Get##Name(&on), [&] { *value = ComBool(on); });      \
  }                                                                              \
  STDMETHODIMP ComWirelet::put_##Name(VARIANT_BOOL value) {                      \
    return Finish(control_->Put##Name(value != VARIANT_FALSE));                  \
  }

#define WIRELET_GET_TEXT(Name)                                                   \
  STDMETHODIMP ComWirelet::get_##Name(BSTR* value) {                             \
    if (value == nullptr) return E_POINTER;                                      \
    std::string text;                                                            \
    return Finish(control_->Get##Name(&text), [&] { *value = BstrFromUtf8(text); }); \
  }

#define WIRELET_PUT_TEXT(Name)                                                   \
  STDMETHODIMP ComWirelet::put_##Name(BSTR value) {                              \
    return Finish(control_->Put##Name(Text(value)));                             \
  }

#define WIRELET_LONG_PROPERTY(Name)                                              \
  STDMETHODIMP ComWirelet::get_##Name(LONG* value) {                             \
    if (value == nullptr) return E_POINTER;                                      \
    int32_t number = 0;                                                          \
    return Finish(control_->Get##Name(&number), [&] { *value = number; });       \
  }                                                                              \
  STDMETHODIMP ComWirelet::put_##Name(LONG value) {                              \
    return Finish(control_->Put##Name(value));                                   \
  }

WIRELET_BOOL_PROPERTY(AcceptData)
WIRELET_BOOL_PROPERTY(Connected)
WIRELET_BOOL_PROPERTY(KeepAlive)
WIRELET_BOOL_PROPERTY(Linger)
WIRELET_BOOL_PROPERTY(SingleLineMode)
WIRELET_GET_TEXT(EOL)
WIRELET_PUT_TEXT(EOL)
WIRELET_GET_TEXT(FirewallHost)
WIRELET_PUT_TEXT(FirewallHost)
WIRELET_GET_TEXT(FirewallPassword)
WIRELET_PUT_TEXT(FirewallPassword)
WIRELET_GET_TEXT(FirewallUser)
WIRELET_PUT_TEXT(FirewallUser)
WIRELET_GET_TEXT(LocalHost)
WIRELET_PUT_TEXT(LocalHost)
WIRELET_GET_TEXT(RemoteHost)
WIRELET_PUT_TEXT(RemoteHost)
WIRELET_PUT_TEXT(DataToSend)
WIRELET_LONG_PROPERTY(FirewallPort)
WIRELET_LONG_PROPERTY(LocalPort)
WIRELET_LONG_PROPERTY(RemotePort)

#undef WIRELET_BOOL_PROPERTY
#undef WIRELET_GET_TEXT
#undef WIRELET_PUT_TEXT
#undef WIRELET_LONG_PROPERTY

STDMETHODIMP ComWirelet::get_BytesSent(LONG* value) {
  if (value == nullptr) return E_POINTER;
  int32_t number = 0;
  return Finish(control_->GetBytesSent(&number), [&] { *value = number; });
}

STDMETHODIMP ComWirelet::get_FirewallType(::TFirewallType* value) {
  if (value == nullptr) return E_POINTER;
  torvane::TFirewallType type = torvane::fwNone;
  return Finish(control_->GetFirewallType(&type),
                [&] { *value = static_cast<::TFirewallType>(type); });
}

STDMETHODIMP ComWirelet::put_FirewallType(::TFirewallType value) {
  return Finish(control_->PutFirewallType(static_cast<torvane::TFirewallType>(value)));
}

STDMETHODIMP ComWirelet::get_Timeout(short* value) {
  if (value == nullptr) return E_POINTER;
  int16_t seconds = 0;
  return Finish(control_->GetTimeout(&seconds), [&] { *value = seconds; });
}

STDMETHODIMP ComWirelet::put_Timeout(short value) { return Finish(control_->PutTimeout(value)); }

STDMETHODIMP ComWirelet::put_DataToSendB(VARIANT value) {
  return Finish(control_->PutDataToSendB(FromComVariant(value)));
}

STDMETHODIMP ComWirelet::get_EOLB(VARIANT* value) {
  if (value == nullptr) return E_POINTER;
  Variant bytes;
  HRESULT stored = S_OK;
  HRESULT hr = Finish(control_->GetEOLB(&bytes), [&] { stored = ToComVariant(bytes, value); });
  return FAILED(hr) ? hr : stored;
}

STDMETHODIMP ComWirelet::put_EOLB(VARIANT value) {
  return Finish(control_->PutEOLB(FromComVariant(value)));
}

STDMETHODIMP ComWirelet::get_DataInTextB(VARIANT* value) {
  if (value == nullptr) return E_POINTER;
  Variant bytes;
  HRESULT stored = S_OK;
  HRESULT hr =
      Finish(control_->GetDataInTextB(&bytes), [&] { stored = ToComVariant(bytes, value); });
  return FAILED(hr) ? hr : stored;
}

STDMETHODIMP ComWirelet::Config(BSTR configurationString, BSTR* result) {
  if (result == nullptr) return E_POINTER;
  std::string text;
  return Finish(control_->Config(Text(configurationString), &text),
                [&] { *result = BstrFromUtf8(text); });
}

STDMETHODIMP ComWirelet::Connect(BSTR host, LONG port) {
  return Finish(control_->Connect(Text(host), port));
}

STDMETHODIMP ComWirelet::Disconnect() { return Finish(control_->Disconnect()); }

STDMETHODIMP ComWirelet::DoEvents() { return Finish(control_->DoEvents()); }

STDMETHODIMP ComWirelet::GetLine(BSTR* line) {
  if (line == nullptr) return E_POINTER;
  std::string text;
  return Finish(control_->GetLine(&text), [&] { *line = BstrFromUtf8(text); });
}

STDMETHODIMP ComWirelet::Send(BSTR text) { return Finish(control_->Send(Text(text))); }

STDMETHODIMP ComWirelet::SendLine(BSTR text) { return Finish(control_->SendLine(Text(text))); }

// ------------------------------------------------------------------ persistence

STDMETHODIMP ComWirelet::GetClassID(CLSID* clsid) {
  if (clsid == nullptr) return E_POINTER;
  *clsid = CLSID_Wirelet;
  return S_OK;
}

STDMETHODIMP ComWirelet::InitNew() { return Finish(control_->InitNew()); }

STDMETHODIMP ComWirelet::Load(IPropertyBag* bag, IErrorLog* log) {
  if (bag == nullptr) return E_POINTER;
  BagOfContainer container(bag, log);
  return Finish(control_->Load(container));
}

STDMETHODIMP ComWirelet::Save(IPropertyBag* bag, BOOL, BOOL) {
  if (bag == nullptr) return E_POINTER;
  BagOfContainer container(bag, nullptr);
  return Finish(control_->Save(container));
}

// ------------------------------------------------------------------ events

STDMETHODIMP ComWirelet::EnumConnectionPoints(IEnumConnectionPoints** points) {
  if (points != nullptr) *points = nullptr;
  return E_NOTIMPL;
}

STDMETHODIMP ComWirelet::FindConnectionPoint(REFIID iid, ::IConnectionPoint** point) {
  if (point == nullptr) return E_POINTER;
  if (iid != DIID__IWireletEvents) {
    *point = nullptr;
    return CONNECT_E_NOCONNECTION;
  }
  *point = static_cast<::IConnectionPoint*>(this);
  AddRef();
  return S_OK;
}

STDMETHODIMP ComWirelet::GetConnectionInterface(IID* iid) {
  if (iid == nullptr) return E_POINTER;
  *iid = DIID__IWireletEvents;
  return S_OK;
}

STDMETHODIMP ComWirelet::GetConnectionPointContainer(IConnectionPointContainer** container) {
  if (container == nullptr) return E_POINTER;
  *container = static_cast<IConnectionPointContainer*>(this);
  AddRef();
  return S_OK;
}

STDMETHODIMP ComWirelet::Advise(IUnknown* sink, DWORD* cookie) {
  if (sink == nullptr || cookie == nullptr) return E_POINTER;
  *cookie = 0;
  ::IDispatch* events = nullptr;
  if (FAILED(sink->QueryInterface(DIID__IWireletEvents, reinterpret_cast<void**>(&events))) &&
      FAILED(sink->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(&events)))) {
    return CONNECT_E_CANNOTCONNECT;
  }
  *cookie = nextCookie_++;
  sinks_.emplace_back(*cookie, events);
  return S_OK;
}

STDMETHODIMP ComWirelet::Unadvise(DWORD cookie) {
  for (auto it = sinks_.begin(); it != sinks_.end(); ++it) {
    if (it->first == cookie) {
      ::IDispatch* sink = it->second;
      sinks_.erase(it);
      sink->Release();
      return S_OK;
    }
  }
  return CONNECT_E_NOCONNECTION;
}

STDMETHODIMP ComWirelet::EnumConnections(IEnumConnections** connections) {
  if (connections != nullptr) *connections = nullptr;
  return E_NOTIMPL;
}

void ComWirelet::FireToSinks(DispId id, std::span<Variant> args) {
  std::vector<::IDispatch*> sinks;
  for (auto& [cookie, sink] : sinks_) {
    sink->AddRef();
    sinks.push_back(sink);
  }
  AddRef();  // a handler may release the last reference to this object
  for (::IDispatch* sink : sinks) {
    // Each argument by reference to a value of its own; what a handler
    // writes there is dropped with it.
    std::vector<VARIANT> values(args.size());
    std::vector<VARIANT> refs(args.size());
    for (size_t i = 0; i < args.size(); ++i) {
      ToComVariant(args[i].Value(), &values[i]);
      VARIANT& ref = refs[args.size() - 1 - i];
      VariantInit(&ref);
      V_VT(&ref) = static_cast<VARTYPE>(VT_BYREF | V_VT(&values[i]));
      switch (V_VT(&values[i])) {
        case VT_BOOL: V_BOOLREF(&ref) = &V_BOOL(&values[i]); break;
        case VT_I2: V_I2REF(&ref) = &V_I2(&values[i]); break;
        case VT_I4: V_I4REF(&ref) = &V_I4(&values[i]); break;
        case VT_BSTR: V_BSTRREF(&ref) = &V_BSTR(&values[i]); break;
        default:
          V_VT(&ref) = VT_BYREF | VT_VARIANT;
          V_VARIANTREF(&ref) = &values[i];
          break;
      }
    }
    DISPPARAMS params{refs.data(), nullptr, static_cast<UINT>(refs.size()), 0};
    sink->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &params, nullptr, nullptr,
                 nullptr);
    for (VARIANT& value : values) VariantClear(&value);
    sink->Release();
  }
  Release();
}

}  // namespace torvane
