#include "Wirelet.h"

#include <algorithm>
#include <limits>
#include <new>

#include "CodePageText.h"
#include "ErrorCodes.h"
#include "ErrorInfo.h"

namespace torvane {
namespace {

bool EqualsNoCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; };
           return lower(x) == lower(y);
         });
}

int16_t ToInteger(int code) {
  return static_cast<int16_t>(std::clamp<int>(code, std::numeric_limits<int16_t>::min(),
                                              std::numeric_limits<int16_t>::max()));
}

bool IsPort(int32_t port) { return port >= 0 && port <= 65535; }

const HResult kReadOnly = MakeAutomationError(383);
const HResult kWriteOnly = MakeAutomationError(394);
const HResult kInvalidValue = MakeAutomationError(380);
constexpr char kOnlyByteArrays[] = "Property accepts only one-dimensional byte arrays.";
constexpr char kOutOfRange[] = "Value is out of range.";

}  // namespace

HResult WireletCodeToHResult(int code) {
  if (code == kErrOutOfMemory) return MakeAutomationError(7);
  return MakeAutomationError(static_cast<uint32_t>(code < 10001 ? code + 20001 : code + 15001));
}

// ------------------------------------------------------------------ lifetime

Wirelet::Entry::Entry(Wirelet& self, bool fromLoop) : self_(self), fromLoop_(fromLoop) {
  ++self_.entries_;
}

Wirelet::Entry::~Entry() {
  if (--self_.entries_ > 0 || !self_.deletePending_) return;
  Wirelet* self = &self_;
  if (fromLoop_) {
    // Still inside the watcher's own notification: delete from the loop.
    self->deletePending_ = false;
    ++self->entries_;
    self->watcher_->PostTask([self] { delete self; });
  } else {
    delete self;
  }
}

Wirelet* Wirelet::Create(const WatcherFactory& makeWatcher, std::function<void()> onDestroyed) {
  return new Wirelet(makeWatcher, std::move(onDestroyed));
}

Wirelet::Wirelet(const WatcherFactory& makeWatcher, std::function<void()> onDestroyed)
    : onDestroyed_(std::move(onDestroyed)) {
  std::unique_ptr<SocketWatcher> watcher = makeWatcher();
  watcher_ = watcher.get();
  EngineEvents& events = *this;
  engine_.reset(new SocketEngine(events, std::move(watcher)));
  watcher_->SetClient(this);
  if (SystemAnsiCodePage() == 932) {
    std::string ignored;
    engine_->Config("CharsetMode=1", ignored);
  }
}

Wirelet::~Wirelet() {
  engine_.reset();
  sinks_.clear();
  if (onDestroyed_) onDestroyed_();
}

HResult Wirelet::QueryInterface(const Guid& iid, void** out) {
  if (out == nullptr) return kEPointer;
  if (iid == kIidUnknown || iid == kIidDispatch || iid == kIidIWirelet) {
    *out = static_cast<IWirelet*>(this);
  } else if (iid == kIidConnectionPoint) {
    *out = static_cast<IConnectionPoint*>(this);
  } else if (iid == kIidPersistPropertyBag) {
    *out = static_cast<IPersistPropertyBag*>(this);
  } else {
    *out = nullptr;
    return kENoInterface;
  }
  AddRef();
  return kSOk;
}

uint32_t Wirelet::AddRef() { return ++refs_; }

uint32_t Wirelet::Release() {
  if (refs_ == 0) return 0;
  uint32_t left = --refs_;
  if (left == 0) {
    if (entries_ > 0) {
      deletePending_ = true;
    } else {
      delete this;
    }
  }
  return left;
}

void Wirelet::OnReadable() {
  Entry entry(*this, true);
  engine_->OnReadable();
}

void Wirelet::OnWritable() {
  Entry entry(*this, true);
  engine_->OnWritable();
}

void Wirelet::OnClosed(int code) {
  Entry entry(*this, true);
  engine_->OnClosed(code);
}

// ------------------------------------------------------------------ errors

HResult Wirelet::Begin() {
  engine_->SetErrorText({});
  SetErrorInfo(std::nullopt);
  return kSOk;
}

HResult Wirelet::RaiseError(HResult hr, const std::string& description, uint32_t helpContext) {
  SetErrorInfo(ErrorInfo{kWireletProgId,
                         description.empty() ? "No description available." : description,
                         kWireletHelpFile, helpContext});
  return hr;
}

HResult Wirelet::Finish(int code, uint32_t helpContext) {
  if (code == 0) return kSOk;
  std::string text = engine_->ErrorText();
  if (code == kErrOutOfMemory) {
    text = "Out of memory.";
  } else if (text.empty()) {
    text = FormatErrorCode(code);
  }
  engine_->SetErrorText(text);
  return RaiseError(WireletCodeToHResult(code), DecodeText(text), helpContext);
}

HResult Wirelet::RunTimeOnly(uint32_t helpContext) {
  return RaiseError(MakeAutomationError(394),
                    "Property is runtime only (no supported in design time).", helpContext);
}

// ------------------------------------------------------------------ text

std::string Wirelet::DecodeText(std::string_view bytes) const {
  return CodePageToUtf8(engine_->CodePage(), bytes);
}

std::string Wirelet::EncodeText(std::string_view utf8) const {
  return Utf8ToCodePage(engine_->CodePage(), utf8);
}

// ------------------------------------------------------------------ events

void Wirelet::Fire(DispId id, std::span<Variant> values) {
  std::vector<ComPtr<IDispatch>> sinks;
  for (const auto& [cookie, sink] : sinks_) sinks.push_back(sink);
  for (const ComPtr<IDispatch>& sink : sinks) {
    // Each sink gets its own copies: what a handler does to them is ignored.
    std::vector<Variant> copies(values.begin(), values.end());
    std::vector<Variant> args;
    for (Variant& copy : copies) args.push_back(Variant::Ref(&copy));
    sink->Invoke(id, kDispatchMethod, args, nullptr, nullptr);
  }
}

void Wirelet::OnConnected(int statusCode, const std::string& description) {
  Entry entry(*this);
  try {
    Variant values[] = {Variant::I2(ToInteger(statusCode)),
                        Variant::String(DecodeText(description))};
    Fire(kEventConnected, values);
  } catch (const std::bad_alloc&) {
    OnError(7, "Out of memory while firing Connected.");
  }
}

void Wirelet::OnConnectionStatus(const std::string& connectionEvent, int statusCode,
                                 const std::string& description) {
  Entry entry(*this);
  try {
    Variant values[] = {Variant::String(DecodeText(connectionEvent)),
                        Variant::I2(ToInteger(statusCode)),
                        Variant::String(DecodeText(description))};
    Fire(kEventConnectionStatus, values);
  } catch (const std::bad_alloc&) {
    OnError(7, "Out of memory while firing ConnectionStatus.");
  }
}

void Wirelet::OnDataIn(std::string_view bytes, bool eol) {
  Entry entry(*this);
  std::optional<std::vector<uint8_t>> outer = std::move(dataInBytes_);
  try {
    dataInBytes_.emplace(bytes.begin(), bytes.end());
    Variant values[] = {Variant::String(DecodeText(bytes)), Variant::Bool(eol)};
    Fire(kEventDataIn, values);
  } catch (const std::bad_alloc&) {
    dataInBytes_.reset();
    OnError(7, "Out of memory while firing DataIn.");
  }
  dataInBytes_ = std::move(outer);
}

void Wirelet::OnDisconnected(int statusCode, const std::string& description) {
  Entry entry(*this);
  try {
    Variant values[] = {Variant::I2(ToInteger(statusCode)),
                        Variant::String(DecodeText(description))};
    Fire(kEventDisconnected, values);
  } catch (const std::bad_alloc&) {
    OnError(7, "Out of memory while firing Disconnected.");
  }
}

void Wirelet::OnError(int errorCode, const std::string& description) {
  Entry entry(*this);
  Variant values[] = {Variant::I2(ToInteger(errorCode)), Variant::String(DecodeText(description))};
  Fire(kEventError, values);
}

void Wirelet::OnReadyToSend() {
  Entry entry(*this);
  Fire(kEventReadyToSend, {});
}

HResult Wirelet::Advise(IDispatch* sink, uint32_t* cookie) {
  if (sink == nullptr || cookie == nullptr) return kEPointer;
  if (sinks_.size() >= 64) return kConnectEAdviseLimit;
  *cookie = nextCookie_++;
  sinks_.emplace_back(*cookie, ComPtr<IDispatch>(sink));
  return kSOk;
}

HResult Wirelet::Unadvise(uint32_t cookie) {
  auto found = std::find_if(sinks_.begin(), sinks_.end(),
                            [cookie](const auto& entry) { return entry.first == cookie; });
  if (found == sinks_.end()) return kConnectENoConnection;
  sinks_.erase(found);
  return kSOk;
}

// ------------------------------------------------------------------ IWirelet

HResult Wirelet::GetAcceptData(bool* value) {
  Entry entry(*this);
  Begin();
  if (value == nullptr) return kEPointer;
  if (designMode_) return RunTimeOnly(21101);
  *value = engine_->AcceptData();
  return kSOk;
}

HResult Wirelet::PutAcceptData(bool value) {
  Entry entry(*this);
  Begin();
  engine_->SetAcceptData(value);
  return kSOk;
}

HResult Wirelet::GetBytesSent(int32_t* value) {
  Entry entry(*this);
  Begin();
  if (value == nullptr) return kEPointer;
  if (designMode_) return RunTimeOnly(21102);
  *value = engine_->BytesSent();
  return kSOk;
}

HResult Wirelet::GetConnected(bool* value) {
  Entry entry(*this);
  Begin();
  if (value == nullptr) return kEPointer;
  if (designMode_) return RunTimeOnly(21103);
  *value = engine_->Connected();
  return kSOk;
}

HResult Wirelet::PutConnected(bool value) {
  Entry entry(*this);
  Begin();
  return Finish(engine_->SetConnected(value), 21103);
}

HResult Wirelet::PutDataToSend(const std::string& value) {
  Entry entry(*this);
  Begin();
  return Finish(engine_->Send(EncodeText(value)), 21104);
}

HResult Wirelet::GetEOL(std::string* value) {
  Entry entry(*this);
  Begin();
  if (value == nullptr) return kEPointer;
  *value = DecodeText(engine_->Eol());
  return kSOk;
}

HResult Wirelet::PutEOL(const std::string& value) {
  Entry entry(*this);
  Begin();
  engine_->SetEol(EncodeText(value));
  return kSOk;
}

HResult Wirelet::GetFirewallHost(std::string* value) {
  Entry entry(*this);
  Begin();
  if (value == nullptr) return kEPointer;
  *value = engine_->FirewallHost();
  return kSOk;
}

HResult Wirelet::PutFirewallHost(const std::string& value) {
  Entry entry(*this);
  Begin();
  return Finish(engine_->SetFirewallHost(EncodeText(value)), 21106);
}

HResult Wirelet::GetFirewallPassword(std::string* value) {
  Entry entry(*this);
  Begin();
  if (value == nullptr) return kEPointer;
  *value = DecodeText(engine_->FirewallPassword());
  return kSOk;
}

HResult Wirelet::PutFirewallPassword(const std::string& value) {
  Entry entry(*this);
  Begin();
  engine_->SetFirewallPassword(EncodeText(value));
  return kSOk;
}

HResult Wirelet::GetFirewallPort(int32_t* value) {
  Entry entry(*this);
  Begin();
  if (value == nullptr) return kEPointer;
  *value = engine_->FirewallPort();
  return kSOk;
}

HResult Wirelet::PutFirewallPort(int32_t value) {
  Entry entry(*this);
  Begin();
  if (!IsPort(value)) return RaiseError(kInvalidValue, kOutOfRange, 21108);
  engine_->SetFirewallPort(value);
  return kSOk;
}

HResult Wirelet::GetFirewallType(TFirewallType* value) {
  Entry entry(*this);
  Begin();
  if (value == nullptr) return kEPointer;
  *value = engine_->FirewallType();
  return kSOk;
}

HResult Wirelet::PutFirewallType(TFirewallType value) {
  Entry entry(*this);
  Begin();
  if (value < fwNone || value > fwSOCKS5) return RaiseError(kInvalidValue, kOutOfRange, 21109);
  engine_->SetFirewallType(value);
  return kSOk;
}

HResult Wirelet::GetFirewallUser(std::string* value) {
  Entry entry(*this);
  Begin();
  if (value == nullptr) return kEPointer;
  *value = DecodeText(engine_->FirewallUser());
  return kSOk;
}

HResult Wirelet::PutFirewallUser(const std::string& value) {
  Entry entry(*this);
  Begin();
  engine_->SetFirewallUser(EncodeText(value));
  return kSOk;
}

HResult Wirelet::GetKeepAlive(bool* value) {
  Entry entry(*this);
  Begin();
  if (value == nullptr) return kEPointer;
  *value = engine_->KeepAlive();
  return kSOk;
}

HResult Wirelet::PutKeepAlive(bool value) {
  Entry entry(*this);
  Begin();
  engine_->SetKeepAlive(value);
  return kSOk;
}

HResult Wirelet::GetLinger(bool* value) {
  Entry entry(*this);
  Begin();
  if (value == nullptr) return kEPointer;
  *value = engine_->Linger();
  return kSOk;
}

HResult Wirelet::PutLinger(bool value) {
  Entry entry(*this);
  Begin();
  engine_->SetLinger(value);
  return kSOk;
}

HResult Wirelet::GetLocalHost(std::string* value) {
  Entry entry(*this);
  Begin();
  if (value == nullptr) return kEPointer;
  *value = DecodeText(engine_->LocalHost());
  return kSOk;
}

HResult Wirelet::PutLocalHost(const std::string& value) {
  Entry entry(*this);
  Begin();
  return Finish(engine_->SetLocalHost(EncodeText(value)), 21113);
}

HResult Wirelet::GetLocalPort(int32_t* value) {
  Entry entry(*this);
  Begin();
  if (value == nullptr) return kEPointer;
  *value = engine_->LocalPort();
  return kSOk;
}

HResult Wirelet::PutLocalPort(int32_t value) {
  Entry entry(*this);
  Begin();
  if (!IsPort(value)) return RaiseError(kInvalidValue, kOutOfRange, 21114);
  return Finish(engine_->SetLocalPort(value), 21114);
}

HResult Wirelet::GetRemoteHost(std::string* value) {
  Entry entry(*this);
  Begin();
  if (value == nullptr) return kEPointer;
  *value = DecodeText(engine_->RemoteHost());
  return kSOk;
}

HResult Wirelet::PutRemoteHost(const std::string& value) {
  Entry entry(*this);
  Begin();
  return Finish(engine_->SetRemoteHost(EncodeText(value)), 21115);
}

HResult Wirelet::GetRemotePort(int32_t* value) {
  Entry entry(*this);
  Begin();
  if (value == nullptr) return kEPointer;
  *value = engine_->RemotePort();
  return kSOk;
}

HResult Wirelet::PutRemotePort(int32_t value) {
  Entry entry(*this);
  Begin();
  if (!IsPort(value)) return RaiseError(kInvalidValue, kOutOfRange, 21116);
  return Finish(engine_->SetRemotePort(value), 21116);
}

HResult Wirelet::GetSingleLineMode(bool* value) {
  Entry entry(*this);
  Begin();
  if (value == nullptr) return kEPointer;
  if (designMode_) return RunTimeOnly(21117);
  *value = engine_->SingleLineMode();
  return kSOk;
}

HResult Wirelet::PutSingleLineMode(bool value) {
  Entry entry(*this);
  Begin();
  engine_->SetSingleLineMode(value);
  return kSOk;
}

HResult Wirelet::GetTimeout(int16_t* value) {
  Entry entry(*this);
  Begin();
  if (value == nullptr) return kEPointer;
  *value = engine_->Timeout();
  return kSOk;
}

HResult Wirelet::PutTimeout(int16_t value) {
  Entry entry(*this);
  Begin();
  engine_->SetTimeout(value);
  return kSOk;
}

HResult Wirelet::PutDataToSendB(const Variant& value) {
  Entry entry(*this);
  Begin();
  if (value.Type() != VarType::kBytes) return RaiseError(kInvalidValue, kOnlyByteArrays, 0);
  const std::vector<uint8_t>& bytes = value.AsBytes();
  return Finish(engine_->Send({reinterpret_cast<const char*>(bytes.data()), bytes.size()}), 0);
}

HResult Wirelet::GetEOLB(Variant* value) {
  Entry entry(*this);
  Begin();
  if (value == nullptr) return kEPointer;
  const std::string& marker = engine_->Eol();
  *value = marker.empty() ? Variant() : Variant::Bytes({marker.begin(), marker.end()});
  return kSOk;
}

HResult Wirelet::PutEOLB(const Variant& value) {
  Entry entry(*this);
  Begin();
  if (value.Type() != VarType::kBytes) return RaiseError(kInvalidValue, kOnlyByteArrays, 0);
  const std::vector<uint8_t>& bytes = value.AsBytes();
  engine_->SetEol(std::string(bytes.begin(), bytes.end()));
  return kSOk;
}

HResult Wirelet::GetDataInTextB(Variant* value) {
  Entry entry(*this);
  Begin();
  if (value == nullptr) return kEPointer;
  if (designMode_) return RunTimeOnly(0);
  *value = dataInBytes_ ? Variant::Bytes(*dataInBytes_) : Variant();
  return kSOk;
}

HResult Wirelet::Config(const std::string& configurationString, std::string* result) {
  Entry entry(*this);
  Begin();
  if (result == nullptr) return kEPointer;
  std::string bytes;
  int code = engine_->Config(EncodeText(configurationString), bytes);
  *result = DecodeText(bytes);
  return Finish(code, 41101);
}

HResult Wirelet::Connect(const std::string& host, int32_t port) {
  Entry entry(*this);
  Begin();
  if (engine_->SocketHandle() >= 0) return Finish(kErrAlreadyConnected, 41102);
  if (!IsPort(port)) return RaiseError(kInvalidValue, kOutOfRange, 41102);
  if (int code = engine_->SetRemoteHost(EncodeText(host))) return Finish(code, 41102);
  if (int code = engine_->SetRemotePort(port)) return Finish(code, 41102);
  return Finish(engine_->Connect(), 41102);
}

HResult Wirelet::Disconnect() {
  Entry entry(*this);
  Begin();
  return Finish(engine_->Disconnect(), 41103);
}

HResult Wirelet::DoEvents() {
  Entry entry(*this);
  Begin();
  engine_->DoEvents();
  return kSOk;
}

HResult Wirelet::GetLine(std::string* line) {
  Entry entry(*this);
  Begin();
  if (line == nullptr) return kEPointer;
  std::string bytes;
  int code = engine_->GetLine(bytes);
  *line = DecodeText(bytes);
  return Finish(code, 41105);
}

HResult Wirelet::Send(const std::string& text) {
  Entry entry(*this);
  Begin();
  return Finish(engine_->Send(EncodeText(text)), 41106);
}

HResult Wirelet::SendLine(const std::string& text) {
  Entry entry(*this);
  Begin();
  return Finish(engine_->SendLine(EncodeText(text)), 41107);
}

// ------------------------------------------------------------------ IDispatch

HResult Wirelet::GetIDsOfNames(std::span<const std::string> names, std::span<DispId> ids) {
  if (ids.size() < names.size()) return kEInvalidArg;
  HResult hr = kSOk;
  for (size_t i = 0; i < names.size(); ++i) {
    ids[i] = kDispIdUnknown;
    for (const WireletMember& member : WireletMembers()) {
      if (member.kind != WireletMember::kEvent && EqualsNoCase(member.name, names[i])) {
        ids[i] = member.id;
        break;
      }
    }
    if (ids[i] == kDispIdUnknown) hr = kDispEUnknownName;
  }
  return hr;
}

HResult Wirelet::Invoke(DispId id, uint16_t flags, std::span<Variant> args, Variant* result,
                        ExcepInfo* excep) {
  Entry entry(*this);
  SetErrorInfo(std::nullopt);
  const WireletMember* member = FindWireletMember(id, WireletMember::kProperty);
  if (member == nullptr) member = FindWireletMember(id, WireletMember::kMethod);
  HResult hr = kDispEMemberNotFound;
  if (member != nullptr) {
    hr = member->kind == WireletMember::kProperty ? InvokeProperty(*member, flags, args, result)
                                                  : InvokeMethod(*member, args, result);
  }
  if (Failed(hr) && excep != nullptr) {
    std::optional<ErrorInfo> info = TakeErrorInfo();
    *excep = ExcepInfo{};
    excep->scode = hr;
    if (info) {
      excep->source = info->source;
      excep->description = info->description;
      excep->helpFile = info->helpFile;
      excep->helpContext = info->helpContext;
      SetErrorInfo(std::move(info));
    }
  }
  return hr;
}

HResult Wirelet::InvokeProperty(const WireletMember& member, uint16_t flags,
                                std::span<Variant> args, Variant* result) {
  if ((flags & kDispatchPropertyPut) != 0) {
    if ((member.access & WireletMember::kWrite) == 0) {
      Begin();
      return RaiseError(kReadOnly, "Property is read-only.", member.helpContext);
    }
    if (args.size() != 1) return kDispEBadParamCount;
    Variant value;
    if (member.type == VarType::kBytes) {
      value = args[0].Value();
    } else if (HResult hr = ChangeType(args[0], member.type, value); Failed(hr)) {
      Begin();
      return RaiseError(hr, hr == kDispEOverflow ? "Overflow." : "Type mismatch.",
                        member.helpContext);
    }
    switch (member.id) {
      case 1:
        return PutAcceptData(value.AsBool());
      case 3:
        return PutConnected(value.AsBool());
      case 4:
        return PutDataToSend(value.AsString());
      case 5:
        return PutEOL(value.AsString());
      case 6:
        return PutFirewallHost(value.AsString());
      case 7:
        return PutFirewallPassword(value.AsString());
      case 8:
        return PutFirewallPort(value.AsI4());
      case 9:
        return PutFirewallType(static_cast<TFirewallType>(value.AsI4()));
      case 10:
        return PutFirewallUser(value.AsString());
      case 11:
        return PutKeepAlive(value.AsBool());
      case 12:
        return PutLinger(value.AsBool());
      case 13:
        return PutLocalHost(value.AsString());
      case 14:
        return PutLocalPort(value.AsI4());
      case 15:
        return PutRemoteHost(value.AsString());
      case 16:
        return PutRemotePort(value.AsI4());
      case 17:
        return PutSingleLineMode(value.AsBool());
      case 18:
        return PutTimeout(value.AsI2());
      case 19:
        return PutDataToSendB(value);
      case 20:
        return PutEOLB(value);
      default:
        return kDispEMemberNotFound;
    }
  }
  if ((flags & (kDispatchPropertyGet | kDispatchMethod)) == 0) return kDispEMemberNotFound;
  if ((member.access & WireletMember::kRead) == 0) {
    Begin();
    return RaiseError(kWriteOnly, "Property is write-only.", member.helpContext);
  }
  if (!args.empty()) return kDispEBadParamCount;
  Variant value;
  HResult hr = kDispEMemberNotFound;
  bool flag = false;
  int32_t number = 0;
  int16_t shortNumber = 0;
  std::string text;
  TFirewallType type = fwNone;
  switch (member.id) {
    case 1:
      hr = GetAcceptData(&flag);
      value = Variant::Bool(flag);
      break;
    case 2:
      hr = GetBytesSent(&number);
      value = Variant::I4(number);
      break;
    case 3:
      hr = GetConnected(&flag);
      value = Variant::Bool(flag);
      break;
    case 5:
      hr = GetEOL(&text);
      value = Variant::String(text);
      break;
    case 6:
      hr = GetFirewallHost(&text);
      value = Variant::String(text);
      break;
    case 7:
      hr = GetFirewallPassword(&text);
      value = Variant::String(text);
      break;
    case 8:
      hr = GetFirewallPort(&number);
      value = Variant::I4(number);
      break;
    case 9:
      hr = GetFirewallType(&type);
      value = Variant::I4(type);
      break;
    case 10:
      hr = GetFirewallUser(&text);
      value = Variant::String(text);
      break;
    case 11:
      hr = GetKeepAlive(&flag);
      value = Variant::Bool(flag);
      break;
    case 12:
      hr = GetLinger(&flag);
      value = Variant::Bool(flag);
      break;
    case 13:
      hr = GetLocalHost(&text);
      value = Variant::String(text);
      break;
    case 14:
      hr = GetLocalPort(&number);
      value = Variant::I4(number);
      break;
    case 15:
      hr = GetRemoteHost(&text);
      value = Variant::String(text);
      break;
    case 16:
      hr = GetRemotePort(&number);
      value = Variant::I4(number);
      break;
    case 17:
      hr = GetSingleLineMode(&flag);
      value = Variant::Bool(flag);
      break;
    case 18:
      hr = GetTimeout(&shortNumber);
      value = Variant::I2(shortNumber);
      break;
    case 20:
      hr = GetEOLB(&value);
      break;
    case 21:
      hr = GetDataInTextB(&value);
      break;
    default:
      break;
  }
  if (Succeeded(hr) && result != nullptr) *result = std::move(value);
  return hr;
}

HResult Wirelet::InvokeMethod(const WireletMember& member, std::span<Variant> args,
                              Variant* result) {
  if (args.size() != member.arguments.size()) return kDispEBadParamCount;
  std::vector<Variant> values(args.size());
  for (size_t i = 0; i < args.size(); ++i) {
    if (HResult hr = ChangeType(args[i], member.arguments[i].second, values[i]); Failed(hr)) {
      Begin();
      return RaiseError(hr, hr == kDispEOverflow ? "Overflow." : "Type mismatch.",
                        member.helpContext);
    }
  }
  std::string text;
  HResult hr = kDispEMemberNotFound;
  switch (member.id) {
    case 501:
      hr = Config(values[0].AsString(), &text);
      break;
    case 502:
      return Connect(values[0].AsString(), values[1].AsI4());
    case 503:
      return Disconnect();
    case 504:
      return DoEvents();
    case 505:
      hr = GetLine(&text);
      break;
    case 506:
      return Send(values[0].AsString());
    case 507:
      return SendLine(values[0].AsString());
    default:
      return hr;
  }
  if (Succeeded(hr) && result != nullptr) *result = Variant::String(text);
  return hr;
}

// ------------------------------------------------------------------ persistence

HResult Wirelet::InitNew() { return kSOk; }

HResult Wirelet::Save(PropertyBag& bag) {
  Entry entry(*this);
  const std::pair<const char*, Variant> values[] = {
      {"Timeout", Variant::I2(engine_->Timeout())},
      {"RemotePort", Variant::I4(engine_->RemotePort())},
      {"RemoteHost", Variant::String(DecodeText(engine_->RemoteText()))},
      {"LocalPort", Variant::I4(engine_->LocalPort())},
      {"Linger", Variant::Bool(engine_->Linger())},
      {"KeepAlive", Variant::Bool(engine_->KeepAlive())},
      {"FirewallUser", Variant::String(DecodeText(engine_->FirewallUser()))},
      {"FirewallType", Variant::I4(engine_->FirewallType())},
      {"FirewallPort", Variant::I4(engine_->FirewallPort())},
      {"FirewallPassword", Variant::String(DecodeText(engine_->FirewallPassword()))},
      {"FirewallHost", Variant::String(DecodeText(engine_->FirewallText()))},
  };
  for (const auto& [name, value] : values) {
    if (HResult hr = bag.Write(name, value); Failed(hr)) return hr;
  }
  return kSOk;
}

HResult Wirelet::Load(PropertyBag& bag) {
  Entry entry(*this);
  // FirewallType first: it resets FirewallPort and decides whether
  // RemoteHost is resolved. A value that cannot be applied is skipped; the
  // first such failure is the result.
  HResult first = kSOk;
  auto read = [&](const char* name, VarType type, auto apply) {
    Variant stored;
    if (Failed(bag.Read(name, stored))) return;
    Variant value;
    HResult hr = ChangeType(stored, type, value);
    if (Succeeded(hr)) hr = apply(value);
    if (Failed(hr) && Succeeded(first)) first = hr;
  };
  read("FirewallType", VarType::kI4,
       [&](const Variant& v) { return PutFirewallType(static_cast<TFirewallType>(v.AsI4())); });
  read("FirewallPort", VarType::kI4, [&](const Variant& v) { return PutFirewallPort(v.AsI4()); });
  read("FirewallUser", VarType::kString,
       [&](const Variant& v) { return PutFirewallUser(v.AsString()); });
  read("FirewallPassword", VarType::kString,
       [&](const Variant& v) { return PutFirewallPassword(v.AsString()); });
  read("FirewallHost", VarType::kString,
       [&](const Variant& v) { return PutFirewallHost(v.AsString()); });
  read("Timeout", VarType::kI2, [&](const Variant& v) { return PutTimeout(v.AsI2()); });
  read("Linger", VarType::kBool, [&](const Variant& v) { return PutLinger(v.AsBool()); });
  read("KeepAlive", VarType::kBool, [&](const Variant& v) { return PutKeepAlive(v.AsBool()); });
  read("LocalPort", VarType::kI4, [&](const Variant& v) { return PutLocalPort(v.AsI4()); });
  read("RemotePort", VarType::kI4, [&](const Variant& v) { return PutRemotePort(v.AsI4()); });
  read("RemoteHost", VarType::kString,
       [&](const Variant& v) { return PutRemoteHost(v.AsString()); });
  return first;
}

}  // namespace torvane
