#include "ComWirelet.h"

#include <oleauto.h>
#include <olectl.h>

#include <memory>
#include <string>

#include "CallbackSink.h"
#include "ComVariant.h"
#include "ErrorInfo.h"
#include "PropertyStream.h"
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
  eventSink_ =
      CallbackSink::Create([this](DispId id, std::span<Variant> args) { FireToSinks(id, args); });
  control_->Advise(eventSink_, &eventCookie_);
  PersistedBlock(&newBlock_);
  cleanBlock_ = newBlock_;
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
  } else if (iid == IID_IPersistStreamInit || iid == IID_IPersistStream) {
    // IPersistStreamInit begins with IPersistStream's methods, in its order.
    *out = static_cast<::IPersistStreamInit*>(this);
  } else if (iid == IID_IPersistStorage) {
    *out = static_cast<::IPersistStorage*>(this);
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

namespace {

bool SameNameNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; };
    if (lower(a[i]) != lower(b[i])) return false;
  }
  return true;
}

}  // namespace

// The first name is a member's; the others name its arguments, which get
// their positions, first argument 0, as named arguments of Invoke.
STDMETHODIMP ComWirelet::GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT count, LCID, DISPID* ids) {
  if (iid != IID_NULL) return DISP_E_UNKNOWNINTERFACE;
  if (count == 0) return S_OK;
  if (names == nullptr || ids == nullptr) return E_POINTER;
  std::vector<std::string> texts;
  for (UINT i = 0; i < count; ++i) {
    texts.push_back(names[i] != nullptr ? Utf8FromWide(names[i], wcslen(names[i])) : "");
    ids[i] = DISPID_UNKNOWN;
  }
  DispId found = kDispIdUnknown;
  HRESULT hr = control_->GetIDsOfNames(std::span(texts).first(1), std::span(&found, 1));
  ids[0] = found;
  const WireletMember* method = FindWireletMember(found, WireletMember::kMethod);
  for (UINT i = 1; i < count; ++i) {
    if (method != nullptr) {
      for (size_t position = 0; position < method->arguments.size(); ++position) {
        if (SameNameNoCase(method->arguments[position].first, texts[i])) {
          ids[i] = static_cast<DISPID>(position);
        }
      }
    }
    if (ids[i] == DISPID_UNKNOWN) hr = DISP_E_UNKNOWNNAME;
  }
  return hr;
}

namespace {

VARTYPE ComTypeOf(VarType type) {
  switch (type) {
    case VarType::kBool:
      return VT_BOOL;
    case VarType::kI2:
      return VT_I2;
    case VarType::kI4:
      return VT_I4;
    case VarType::kString:
      return VT_BSTR;
    default:
      return VT_VARIANT;  // the member judges the value itself
  }
}

// The member a call reaches: a property put needs DISPATCH_PROPERTYPUT, a
// property get DISPATCH_PROPERTYGET and a method DISPATCH_METHOD, as the
// system's own dispatch matches them.
const WireletMember* MemberForCall(DISPID id, WORD flags, uint16_t* ownFlags) {
  const WireletMember* property = FindWireletMember(id, WireletMember::kProperty);
  const WireletMember* method = FindWireletMember(id, WireletMember::kMethod);
  if (property != nullptr && (flags & DISPATCH_PROPERTYPUT) != 0) {
    *ownFlags = kDispatchPropertyPut;
    return property;
  }
  if (property != nullptr && (flags & DISPATCH_PROPERTYGET) != 0) {
    *ownFlags = kDispatchPropertyGet;
    return property;
  }
  if (method != nullptr && (flags & DISPATCH_METHOD) != 0) {
    *ownFlags = kDispatchMethod;
    return method;
  }
  return nullptr;
}

}  // namespace

STDMETHODIMP ComWirelet::Invoke(DISPID id, REFIID iid, LCID, WORD flags, DISPPARAMS* params,
                                VARIANT* result, EXCEPINFO* excep, UINT* argError) {
  if (iid != IID_NULL) return DISP_E_UNKNOWNINTERFACE;
  DISPPARAMS none{nullptr, nullptr, 0, 0};
  if (params == nullptr) params = &none;
  const UINT count = params->cArgs;
  const UINT named = params->cNamedArgs;
  if ((count > 0 && params->rgvarg == nullptr) || named > count ||
      (named > 0 && params->rgdispidNamedArgs == nullptr)) {
    return E_INVALIDARG;
  }
  uint16_t ownFlags = 0;
  const WireletMember* member = MemberForCall(id, flags, &ownFlags);
  if (member == nullptr) return DISP_E_MEMBERNOTFOUND;
  auto failArgument = [argError](UINT slot, HRESULT hr) {
    if (argError != nullptr) *argError = slot;
    return hr;
  };

  // Each parameter's slot in rgvarg; the positional arguments come last
  // first, after the named ones.
  std::vector<VARTYPE> types;
  if (ownFlags == kDispatchPropertyPut) {
    types.push_back(ComTypeOf(member->type));
  } else if (ownFlags == kDispatchMethod) {
    for (const auto& [name, type] : member->arguments) types.push_back(ComTypeOf(type));
  }
  constexpr UINT kAbsent = ~0u;
  std::vector<UINT> slots(types.size(), kAbsent);
  const UINT positional = count - named;
  if (count > types.size()) return DISP_E_BADPARAMCOUNT;
  for (UINT i = 0; i < positional; ++i) slots[i] = count - 1 - i;
  for (UINT n = 0; n < named; ++n) {
    const DISPID position = params->rgdispidNamedArgs[n];
    if (ownFlags == kDispatchPropertyPut) {
      if (position != DISPID_PROPERTYPUT || named != 1)
        return failArgument(n, DISP_E_PARAMNOTFOUND);
      slots[0] = n;
    } else if (ownFlags == kDispatchMethod && position >= 0 &&
               static_cast<size_t>(position) < slots.size() && slots[position] == kAbsent) {
      slots[position] = n;
    } else {
      return failArgument(n, DISP_E_PARAMNOTFOUND);
    }
  }
  if (named == 0 && positional != types.size()) return DISP_E_BADPARAMCOUNT;

  std::vector<Variant> args;
  args.reserve(types.size());
  for (size_t i = 0; i < types.size(); ++i) {
    if (slots[i] == kAbsent) return DISP_E_PARAMNOTOPTIONAL;
    const VARIANT& given = params->rgvarg[slots[i]];
    if (V_VT(&given) == VT_ERROR && V_ERROR(&given) == DISP_E_PARAMNOTFOUND) {
      return failArgument(slots[i], DISP_E_PARAMNOTOPTIONAL);
    }
    if (types[i] == VT_VARIANT) {
      args.push_back(FromComVariant(given));
      continue;
    }
    VARIANT coerced;
    VariantInit(&coerced);
    HRESULT hr = VariantChangeType(&coerced, const_cast<VARIANT*>(&given), 0, types[i]);
    if (FAILED(hr)) {
      if (hr == E_OUTOFMEMORY) return hr;
      return failArgument(slots[i], hr == DISP_E_OVERFLOW ? hr : DISP_E_TYPEMISMATCH);
    }
    args.push_back(FromComVariant(coerced));
    VariantClear(&coerced);
  }

  AddRef();  // a handler may release the caller's last reference
  ExcepInfo info;
  Variant value;
  const HResult hr = control_->Invoke(id, ownFlags, args, &value, &info);
  TakeErrorInfo();
  HRESULT answer = hr;
  if (Failed(hr) && (HRESULT_FACILITY(hr) != FACILITY_DISPATCH || !info.description.empty())) {
    // The member's own failure.
    PublishErrorInfo({info.source, info.description, info.helpFile, info.helpContext});
    if (excep != nullptr) {
      *excep = EXCEPINFO{};
      excep->bstrSource = BstrFromUtf8(info.source);
      excep->bstrDescription = BstrFromUtf8(info.description);
      excep->bstrHelpFile = BstrFromUtf8(info.helpFile);
      excep->dwHelpContext = info.helpContext;
      excep->scode = hr;
    }
    answer = DISP_E_EXCEPTION;
  } else if (Succeeded(hr) && result != nullptr) {
    answer = ToComVariant(value, result);
  }
  Release();
  return answer;
}

// ------------------------------------------------------------------ IWirelet

#define WIRELET_BOOL_PROPERTY(Name)                                         \
  STDMETHODIMP ComWirelet::get_##Name(VARIANT_BOOL* value) {                \
    if (value == nullptr) return E_POINTER;                                 \
    bool on = false;                                                        \
    return Finish(control_->Get##Name(&on), [&] { *value = ComBool(on); }); \
  }                                                                         \
  STDMETHODIMP ComWirelet::put_##Name(VARIANT_BOOL value) {                 \
    return Finish(control_->Put##Name(value != VARIANT_FALSE));             \
  }

#define WIRELET_GET_TEXT(Name)                                                       \
  STDMETHODIMP ComWirelet::get_##Name(BSTR* value) {                                 \
    if (value == nullptr) return E_POINTER;                                          \
    std::string text;                                                                \
    return Finish(control_->Get##Name(&text), [&] { *value = BstrFromUtf8(text); }); \
  }

#define WIRELET_PUT_TEXT(Name)                       \
  STDMETHODIMP ComWirelet::put_##Name(BSTR value) {  \
    return Finish(control_->Put##Name(Text(value))); \
  }

#define WIRELET_LONG_PROPERTY(Name)                                        \
  STDMETHODIMP ComWirelet::get_##Name(LONG* value) {                       \
    if (value == nullptr) return E_POINTER;                                \
    int32_t number = 0;                                                    \
    return Finish(control_->Get##Name(&number), [&] { *value = number; }); \
  }                                                                        \
  STDMETHODIMP ComWirelet::put_##Name(LONG value) { return Finish(control_->Put##Name(value)); }

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

HRESULT ComWirelet::PersistedBlock(std::vector<uint8_t>* block) {
  MemoryPropertyBag bag;
  if (HResult hr = control_->Save(bag); Failed(hr)) return Finish(hr);
  return EncodePropertyStream(bag, block);
}

void ComWirelet::MarkClean() {
  std::vector<uint8_t> block;
  if (SUCCEEDED(PersistedBlock(&block))) cleanBlock_ = std::move(block);
}

STDMETHODIMP ComWirelet::InitNew() {
  MemoryPropertyBag bag;
  if (HRESULT hr = DecodePropertyStream(newBlock_, &bag); FAILED(hr)) return hr;
  HRESULT hr = Finish(control_->Load(bag));
  if (SUCCEEDED(hr)) hr = Finish(control_->InitNew());
  MarkClean();
  return hr;
}

STDMETHODIMP ComWirelet::Load(IPropertyBag* bag, IErrorLog* log) {
  if (bag == nullptr) return E_POINTER;
  BagOfContainer container(bag, log);
  HRESULT hr = Finish(control_->Load(container));
  MarkClean();
  return hr;
}

STDMETHODIMP ComWirelet::Save(IPropertyBag* bag, BOOL clearDirty, BOOL) {
  if (bag == nullptr) return E_POINTER;
  BagOfContainer container(bag, nullptr);
  HRESULT hr = Finish(control_->Save(container));
  if (SUCCEEDED(hr) && clearDirty) MarkClean();
  return hr;
}

STDMETHODIMP ComWirelet::IsDirty() {
  std::vector<uint8_t> block;
  if (FAILED(PersistedBlock(&block))) return S_OK;  // unknown: better saved once more
  return block == cleanBlock_ ? S_FALSE : S_OK;
}

STDMETHODIMP ComWirelet::Load(IStream* stream) {
  if (stream == nullptr) return E_POINTER;
  // Exactly the block's own bytes, so whatever a container keeps after it
  // stays unread.
  auto readAll = [stream](uint8_t* into, size_t count) -> HRESULT {
    while (count > 0) {
      ULONG got = 0;
      HRESULT hr = stream->Read(into, static_cast<ULONG>(count), &got);
      if (FAILED(hr)) return hr;
      if (got == 0) return STG_E_READFAULT;
      into += got;
      count -= got;
    }
    return S_OK;
  };
  std::vector<uint8_t> block(kPropertyStreamHeaderSize);
  if (HRESULT hr = readAll(block.data(), block.size()); FAILED(hr)) return hr;
  size_t size = 0;
  if (HRESULT hr = PropertyStreamSize(block, &size); FAILED(hr)) return hr;
  block.resize(size);
  if (HRESULT hr =
          readAll(block.data() + kPropertyStreamHeaderSize, size - kPropertyStreamHeaderSize);
      FAILED(hr)) {
    return hr;
  }
  MemoryPropertyBag bag;
  if (HRESULT hr = DecodePropertyStream(block, &bag); FAILED(hr)) return hr;
  HRESULT hr = Finish(control_->Load(bag));
  MarkClean();
  return hr;
}

STDMETHODIMP ComWirelet::Save(IStream* stream, BOOL clearDirty) {
  if (stream == nullptr) return E_POINTER;
  std::vector<uint8_t> block;
  if (HRESULT hr = PersistedBlock(&block); FAILED(hr)) return hr;
  const uint8_t* from = block.data();
  size_t left = block.size();
  while (left > 0) {
    ULONG written = 0;
    HRESULT hr = stream->Write(from, static_cast<ULONG>(left), &written);
    if (FAILED(hr)) return hr;
    if (written == 0) return STG_E_WRITEFAULT;
    from += written;
    left -= written;
  }
  if (clearDirty) cleanBlock_ = std::move(block);
  return S_OK;
}

STDMETHODIMP ComWirelet::GetSizeMax(ULARGE_INTEGER* size) {
  if (size == nullptr) return E_POINTER;
  std::vector<uint8_t> block;
  if (HRESULT hr = PersistedBlock(&block); FAILED(hr)) return hr;
  size->QuadPart = block.size();
  return S_OK;
}

namespace {
constexpr wchar_t kContentsStream[] = L"Contents";
}  // namespace

STDMETHODIMP ComWirelet::InitNew(IStorage* storage) {
  if (storage == nullptr) return E_POINTER;
  return InitNew();
}

STDMETHODIMP ComWirelet::Load(IStorage* storage) {
  if (storage == nullptr) return E_POINTER;
  IStream* stream = nullptr;
  HRESULT hr =
      storage->OpenStream(kContentsStream, nullptr, STGM_READ | STGM_SHARE_EXCLUSIVE, 0, &stream);
  if (FAILED(hr)) return hr;
  hr = Load(stream);
  stream->Release();
  return hr;
}

STDMETHODIMP ComWirelet::Save(IStorage* storage, BOOL) {
  if (storage == nullptr) return E_POINTER;
  IStream* stream = nullptr;
  HRESULT hr = storage->CreateStream(
      kContentsStream, STGM_CREATE | STGM_WRITE | STGM_SHARE_EXCLUSIVE, 0, 0, &stream);
  if (FAILED(hr)) return hr;
  hr = Save(stream, TRUE);
  stream->Release();
  return hr;
}

// Everything is read at load and written at save, so no storage is held
// between the calls.
STDMETHODIMP ComWirelet::SaveCompleted(IStorage*) { return S_OK; }

STDMETHODIMP ComWirelet::HandsOffStorage() { return S_OK; }

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
        case VT_BOOL:
          V_BOOLREF(&ref) = &V_BOOL(&values[i]);
          break;
        case VT_I2:
          V_I2REF(&ref) = &V_I2(&values[i]);
          break;
        case VT_I4:
          V_I4REF(&ref) = &V_I4(&values[i]);
          break;
        case VT_BSTR:
          V_BSTRREF(&ref) = &V_BSTR(&values[i]);
          break;
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
