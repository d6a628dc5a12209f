#include "NetworkLink.h"

#include <cstdio>

#include "AnsiText.h"
#include "CallbackSink.h"
#include "CreateObject.h"

namespace torvane {
namespace {

// Event identifiers of the control's event interface.
constexpr DispId kEventConnected = 1;
constexpr DispId kEventDataIn = 3;
constexpr DispId kEventDisconnected = 4;
constexpr DispId kEventError = 5;

}  // namespace

std::unique_ptr<NetworkLink> NetworkLink::Create(const RegistryHive& classes, std::string* error) {
  IDispatch* control = nullptr;
  const HResult hr =
      CreateObject(classes, kProgId, kIidDispatch, reinterpret_cast<void**>(&control));
  if (Failed(hr) || control == nullptr) {
    char code[16];
    std::snprintf(code, sizeof code, "0x%08X", static_cast<unsigned>(hr));
    *error = std::string("cannot create ") + kProgId + " (" + code + ")";
    if (hr == kCoEDllNotFound) *error += ": " + LastModuleError();
    return nullptr;
  }
  return std::unique_ptr<NetworkLink>(new NetworkLink(control));
}

NetworkLink::NetworkLink(IDispatch* control) : control_(control) {
  sink_ = CallbackSink::Create([this](DispId id, std::span<Variant> args) { OnEvent(id, args); });
  if (Succeeded(control_->QueryInterface(kIidConnectionPoint, reinterpret_cast<void**>(&point_)))) {
    point_->Advise(sink_, &cookie_);
  }
  // The program's text is Windows-1252 whatever the system's ANSI code page
  // (a UTF-8 locale, a Cyrillic Windows): the control must give back the very
  // bytes, the transmitter's binary packets among them.
  try {
    Call("Config", kDispatchMethod, {Variant::String("CodePage=1252")});
  } catch (const NetworkLinkError&) {
    // A control without the setting converts with its own page.
  }
}

NetworkLink::~NetworkLink() {
  if (point_ != nullptr) {
    point_->Unadvise(cookie_);
    point_->Release();
  }
  sink_->Release();
  control_->Release();
}

Variant NetworkLink::Call(const char* name, uint16_t flags, std::vector<Variant> args) {
  // Looked up once a member: Send and Connected run for every packet on a
  // transmitter link.
  auto known = ids_.find(name);
  if (known == ids_.end()) {
    const std::string member = name;
    DispId id = kDispIdUnknown;
    if (Failed(control_->GetIDsOfNames({&member, 1}, {&id, 1}))) {
      throw NetworkLinkError(438, std::string("the control has no member ") + name);
    }
    known = ids_.emplace(name, id).first;
  }
  const DispId id = known->second;
  ExcepInfo excep;
  Variant result;
  const HResult hr = control_->Invoke(id, flags, args, &result, &excep);
  if (Failed(hr)) {
    // Automation errors of the control carry their code in the low word.
    throw NetworkLinkError(static_cast<int32_t>(hr & 0xFFFF),
                           excep.description.empty() ? "network control error" : excep.description);
  }
  return result;
}

void NetworkLink::Connect(const std::string& host, int32_t port) {
  Call("Connect", kDispatchMethod, {Variant::String(AnsiToUtf8(host)), Variant::I4(port)});
}

void NetworkLink::Disconnect() { Call("Disconnect", kDispatchMethod, {}); }

bool NetworkLink::Connected() { return Call("Connected", kDispatchPropertyGet, {}).AsBool(); }

void NetworkLink::Send(std::string_view text) {
  Call("Send", kDispatchMethod, {Variant::String(AnsiToUtf8(text))});
}

void NetworkLink::OnEvent(DispId id, std::span<Variant> args) {
  if (id == kEventDataIn && !args.empty() && OnDataIn) {
    OnDataIn(Utf8ToAnsi(args[0].AsString()));
  } else if (id == kEventError && args.size() >= 2 && OnError) {
    OnError(args[0].AsI4(), Utf8ToAnsi(args[1].AsString()));
  } else if (id == kEventConnected && args.size() >= 2) {
    const int32_t code = args[0].AsI4();
    if (OnConnected) {
      OnConnected(code, Utf8ToAnsi(args[1].AsString()));
    } else if (code != 0 && OnError) {
      // A connection that fails is reported only through this event; the
      // operator must hear of it like any other network error.
      OnError(code, Utf8ToAnsi(args[1].AsString()));
    }
  } else if (id == kEventDisconnected && args.size() >= 2 && OnDisconnected) {
    OnDisconnected(args[0].AsI4(), Utf8ToAnsi(args[1].AsString()));
  }
}

}  // namespace torvane
