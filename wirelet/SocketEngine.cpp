#include "SocketEngine.h"

#include <algorithm>
#include <cassert>
#include <climits>
#include <new>

#include "ErrorCodes.h"
#include "SocketApi.h"

namespace torvane {
namespace {

constexpr int kWaitStepMs = 20;
constexpr int kForcedPassSteps = 1000;

bool IsConnectStarted(int code) {
  return code == kWsaWouldBlock || code == kWsaInProgress || code == kWsaInterrupted;
}

bool IsDeferredConnectError(int code) {
  // WinSock reports these through the connect notification, never from the
  // connect call of an asynchronous socket.
  return code == kWsaConnRefused || code == kWsaTimedOut || code == kWsaHostUnreachable ||
         code == kWsaNetUnreachable || code == kWsaConnReset;
}

// Errors of recv after which the connection cannot carry data any more: it
// is closed with the code rather than left to look connected. Others (no
// buffer space, interrupted ...) may pass, and the socket stays open.
bool MeansConnectionGone(int code) {
  switch (code) {
    case 10050:  // network is down
    case 10051:  // network is unreachable
    case 10052:  // dropped by keep-alive or reset
    case kWsaConnAborted:
    case kWsaConnReset:
    case kWsaNotConnected:
    case 10058:  // shut down
    case kWsaTimedOut:
    case 10064:  // host is down
    case kWsaHostUnreachable:
      return true;
    default:
      return false;
  }
}

bool EndsQuietly(int code) {
  return code == kWsaWouldBlock || code == kWsaNotSocket || code == kWsaConnAborted ||
         code == kWsaConnReset;
}

std::string RecvErrorText(int code) { return "socket error in recv: " + std::to_string(code); }

std::string Dotted(uint32_t networkOrder) {
  return networkOrder == 0 ? std::string() : DottedAddress(networkOrder);
}

bool EqualsNoCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; };
           return lower(x) == lower(y);
         });
}

bool ParseBool(std::string_view value) {
  return EqualsNoCase(value, "true") || EqualsNoCase(value, "yes") || value == "1";
}

// Optional "-" and decimal digits; anything after them is ignored.
int32_t ParseNumber(std::string_view value) {
  bool negative = !value.empty() && value.front() == '-';
  if (negative) value.remove_prefix(1);
  int64_t number = 0;
  for (char c : value) {
    if (c < '0' || c > '9') break;
    number = std::min<int64_t>(number * 10 + (c - '0'), int64_t(INT32_MAX) + 1);
  }
  if (negative) number = -number;
  return static_cast<int32_t>(std::clamp<int64_t>(number, INT32_MIN, INT32_MAX));
}

const char* BoolText(bool on) { return on ? "True" : "False"; }

sockaddr_in MakeAddress(uint32_t address, int32_t port) {
  sockaddr_in result{};
  result.sin_family = AF_INET;
  result.sin_port = ToNetworkOrder16(static_cast<uint16_t>(port));
  result.sin_addr.s_addr = address;
  return result;
}

}  // namespace

SocketEngine::DeadlineScope::DeadlineScope(SocketEngine& engine)
    : engine_(engine), had_(engine.hasDeadline_), deadline_(engine.deadline_) {}

SocketEngine::DeadlineScope::~DeadlineScope() {
  engine_.hasDeadline_ = had_;
  engine_.deadline_ = deadline_;
}

SocketEngine::SocketEngine(EngineEvents& events, std::unique_ptr<SocketWatcher> watcher)
    : events_(events), watcher_(std::move(watcher)) {
  winsockHeld_ = WinsockLoader::Acquire();
  watcher_->SetClient(this);
}

SocketEngine::~SocketEngine() {
  interrupted_ = true;
  CloseQuietly();
  watcher_->SetClient(nullptr);
  if (winsockHeld_) WinsockLoader::Release();
}

// ---------------------------------------------------------------- properties

void SocketEngine::SetAcceptData(bool on) {
  acceptData_ = on;
  if (on && socket_ != kNoSocket && connected_ && !handshaking_) {
    dataWaiting_ = false;
    UpdateReadWatch();
    watcher_->PostRead();
    return;
  }
  UpdateReadWatch();
}

bool SocketEngine::Connected() const { return socket_ != kNoSocket && connected_ && !handshaking_; }

int SocketEngine::SetConnected(bool on) { return on ? Connect() : Disconnect(); }

void SocketEngine::SetEol(std::string marker) { lineBuffer_.SetMarker(std::move(marker), false); }

std::string SocketEngine::FirewallHost() const { return Dotted(firewallAddress_); }

int SocketEngine::SetFirewallHost(std::string_view text) {
  uint32_t address = 0;
  if (int rc = Resolve(text, address)) return rc;
  firewallText_ = text;
  firewallAddress_ = address;
  return 0;
}

void SocketEngine::SetFirewallType(TFirewallType type) {
  firewallType_ = type;
  firewallPort_ = (type == fwSOCKS4 || type == fwSOCKS5) ? 1080 : 80;
}

void SocketEngine::SetFirewallUser(std::string text) {
  if (text.size() > 255) text.resize(255);
  firewallUser_ = std::move(text);
}

std::string SocketEngine::LocalHost() const {
  if (socket_ != kNoSocket && connected_) {
    sockaddr_in bound{};
    SockLen length = sizeof bound;
    if (Sockets().getsockname(socket_, reinterpret_cast<sockaddr*>(&bound), &length) == 0) {
      return DottedAddress(bound.sin_addr.s_addr);
    }
  }
  if (localAddress_ != 0) return Dotted(localAddress_);
  char name[256] = {};
  if (Sockets().gethostname(name, sizeof name - 1) != 0) return {};
  return name;
}

int SocketEngine::SetLocalHost(std::string_view text) {
  uint32_t address = 0;
  if (int rc = Resolve(text, address)) return rc;
  localText_ = text;
  localAddress_ = address;
  return 0;
}

int32_t SocketEngine::LocalPort() const {
  if (socket_ != kNoSocket && connected_) {
    sockaddr_in bound{};
    SockLen length = sizeof bound;
    if (Sockets().getsockname(socket_, reinterpret_cast<sockaddr*>(&bound), &length) == 0) {
      return FromNetworkOrder16(bound.sin_port);
    }
  }
  return localPort_;
}

int SocketEngine::SetLocalPort(int32_t port) {
  if (socket_ != kNoSocket) return kErrLocalPortBusy;
  localPort_ = port;
  return 0;
}

std::string SocketEngine::RemoteHost() const {
  if (firewallType_ != fwNone) return remoteText_;
  return Dotted(remoteAddress_);
}

int SocketEngine::SetRemoteHost(std::string_view text) {
  if (socket_ != kNoSocket) return kErrRemoteHostBusy;
  if (firewallType_ != fwNone) {
    remoteText_ = text;
    remoteAddress_ = 0;
    return 0;
  }
  uint32_t address = 0;
  if (int rc = Resolve(text, address)) return rc;
  remoteText_ = text;
  remoteAddress_ = address;
  return 0;
}

int SocketEngine::SetRemotePort(int32_t port) {
  if (socket_ != kNoSocket) return kErrRemotePortBusy;
  remotePort_ = port;
  return 0;
}

void SocketEngine::SetSingleLineMode(bool on) {
  singleLineMode_ = on;
  if (on) {
    lineBuffer_.SetMarker("\r\n", true);
    SetAcceptData(false);
  } else {
    lineBuffer_.SetMarker("", false);
  }
}

void SocketEngine::SetTimeout(int16_t seconds) { timeout_ = seconds; }

// ---------------------------------------------------------------- connect

int SocketEngine::Connect() {
  if (timeout_ > 0 && Connected()) return 0;
  errorText_.clear();
  // Refused before anything is reset: the live socket keeps its undelivered
  // bytes, a close asked for in a handler and the AcceptData it was given.
  if (socket_ != kNoSocket) return kErrAlreadyConnected;
  return timeout_ > 0 ? ConnectWaiting() : StartConnect();
}

int SocketEngine::StartConnect() {
  assert(socket_ == kNoSocket);
  closePending_ = false;
  closeCode_ = 0;
  lineBuffer_.Clear();
  closeLines_.clear();
  closePartial_.clear();

  uint32_t address = 0;
  int32_t port = 0;
  if (firewallType_ != fwNone) {
    address = firewallAddress_;
    port = firewallPort_;
    if (address == 0) {
      errorText_ = "The FirewallHost address is invalid (0.0.0.0).";
      return kErrAddressInvalid;
    }
    if (port == 0) {
      errorText_ = "The FirewallPort is invalid (0).";
      return kErrPortZero;
    }
  } else {
    // A text stored while a firewall was set has not been resolved yet.
    if (remoteAddress_ == 0 && !remoteText_.empty()) {
      if (int rc = Resolve(remoteText_, remoteAddress_)) return rc;
    }
    address = remoteAddress_;
    port = remotePort_;
    if (address == 0) return kErrAddressInvalid;
    if (port == 0) return kErrPortZero;
  }

  const SocketApi& api = Sockets();
  const torvane::SocketHandle s = api.socket(AF_INET, SOCK_STREAM, 0);
  if (s == kNoSocket) return api.lastError();
  auto fail = [&](int code) {
    api.close(s);
    return code;
  };

  sockaddr_in local = MakeAddress(localAddress_, localPort_);
  if (api.bind(s, reinterpret_cast<sockaddr*>(&local), sizeof local) != 0) {
    return fail(api.lastError());
  }
  int keepAlive = keepAlive_ ? 1 : 0;
  linger lingerOption{};
  lingerOption.l_onoff = linger_ ? 0 : 1;
  lingerOption.l_linger = 0;
  int one = 1;
  int noDelay = noDelay_ ? 1 : 0;
  if (api.setsockopt(s, SOL_SOCKET, SO_KEEPALIVE, &keepAlive, sizeof keepAlive) != 0 ||
      api.setsockopt(s, SOL_SOCKET, SO_LINGER, &lingerOption, sizeof lingerOption) != 0 ||
      (receiveSize_ > 2048 &&
       api.setsockopt(s, SOL_SOCKET, SO_RCVBUF, &receiveSize_, sizeof receiveSize_) != 0) ||
      (sendSize_ > 2048 &&
       api.setsockopt(s, SOL_SOCKET, SO_SNDBUF, &sendSize_, sizeof sendSize_) != 0) ||
      api.setsockopt(s, SOL_SOCKET, SO_OOBINLINE, &one, sizeof one) != 0 ||
      (noDelay_ && api.setsockopt(s, IPPROTO_TCP, TCP_NODELAY, &noDelay, sizeof noDelay) != 0)) {
    return fail(api.lastError());
  }

  // Notifications are asked for before connect, so none of its outcome is missed.
  if (int code = watcher_->Watch(s)) {
    watcher_->Watch(kNoSocket);
    return fail(code);
  }
  socket_ = s;
  ++generation_;
  connected_ = false;
  handshaking_ = false;
  dataWaiting_ = false;
  readyToSend_ = true;
  pendingConnectError_ = 0;
  peerClosed_ = false;
  peerCloseCode_ = 0;
  connectDone_ = false;
  connectResult_ = 0;
  connectDescription_.clear();
  watcher_->EnableWrite(true);

  sockaddr_in remote = MakeAddress(address, port);
  if (api.connect(s, reinterpret_cast<sockaddr*>(&remote), sizeof remote) != 0) {
    int code = api.lastError();
    if (!IsConnectStarted(code)) {
      if (!IsDeferredConnectError(code)) {
        watcher_->Watch(kNoSocket);
        socket_ = kNoSocket;
        ++generation_;
        return fail(code);
      }
      pendingConnectError_ = code;
      watcher_->PostRead();
    }
  }
  return 0;
}

int SocketEngine::ConnectWaiting() {
  DeadlineScope scope(*this);
  SetAcceptData(false);
  if (int rc = StartConnect()) {
    SetAcceptData(true);
    return rc;
  }
  StartDeadline();
  while (!connectDone_) {
    if (int rc = WaitStep()) {
      std::string reason = errorText_;
      DoDisconnect(0);
      errorText_ = reason;
      return rc;
    }
  }
  SetAcceptData(true);
  if (connectResult_ != 0) {
    errorText_ = connectDescription_;
    return connectResult_;
  }
  return 0;
}

void SocketEngine::HandleConnectEvent() {
  const SocketApi& api = Sockets();
  int error = pendingConnectError_;
  pendingConnectError_ = 0;
  if (error == 0) error = api.connectError(socket_);
  if (error != 0) {
    // The socket closes before the event fires, so a handler may connect again.
    CloseQuietly();
    if (firewallType_ != fwNone) {
      events_.OnConnectionStatus("Firewall connection failed.", error, Describe(error, {}));
    }
    FireConnectResult(error, {});
    return;
  }
  connected_ = true;
  int one = 1;
  api.setsockopt(socket_, SOL_SOCKET, SO_OOBINLINE, &one, sizeof one);
  if (firewallType_ != fwNone) {
    StartHandshake();
    return;
  }
  UpdateReadWatch();
  const uint64_t generation = generation_;
  FireConnectResult(0, {});
  if (generation_ == generation) FinishPeerClose();
}

void SocketEngine::FireConnectResult(int code, const std::string& text) {
  connectDone_ = true;
  connectResult_ = code;
  connectDescription_ = Describe(code, text);
  if (code == 0) {
    events_.OnConnectionStatus("Remote host connection complete.", 0, "OK");
    events_.OnConnected(0, "OK");
  } else {
    events_.OnConnected(code, connectDescription_);
  }
}

// ---------------------------------------------------------------- firewall

void SocketEngine::StartHandshake() {
  const uint64_t generation = generation_;
  handshaking_ = true;
  events_.OnConnectionStatus("Firewall connection complete.", 0, "OK");
  if (generation_ != generation || !handshaking_) return;

  FirewallLayer::Target target;
  target.type = firewallType_;
  target.remoteText = remoteText_;
  target.remotePort = static_cast<uint16_t>(remotePort_);
  target.user = firewallUser_;
  target.password = firewallPassword_;
  bool byName = firewallType_ == fwSOCKS5 && !remoteText_.empty() && remoteText_[0] == '*';
  if ((firewallType_ == fwSOCKS4 || firewallType_ == fwSOCKS5) && !byName) {
    int rc = Resolve(remoteText_, target.remoteAddress);
    if (rc == 0 && target.remoteAddress == 0) rc = kErrAddressInvalid;
    if (rc != 0) return FailHandshake(kErrFirewall, FormatErrorCode(rc), true);
  }
  if (!SendAll(firewall_.Start(target))) {
    return FailHandshake(kErrFirewall, "firewall request could not be sent", true);
  }
  watcher_->EnableRead(true);
}

bool SocketEngine::SendAll(std::string_view bytes) {
  // Handshake messages are a few hundred bytes at most and go out on a fresh
  // connection, so the system takes them whole.
  while (!bytes.empty()) {
    SocketSize n = Sockets().send(socket_, bytes.data(), bytes.size(), 0);
    if (n <= 0) return false;
    bytes.remove_prefix(static_cast<size_t>(n));
  }
  return true;
}

void SocketEngine::HandshakeRead() {
  char buffer[512];
  size_t wanted = std::min(firewall_.BytesWanted(), sizeof buffer);
  if (wanted == 0) return;
  SocketSize n = Sockets().recv(socket_, buffer, wanted, 0);
  if (n == 0) {
    firewall_.EndOfInput();
    return FailHandshake(kErrFirewall, firewall_.FailureText(), true);
  }
  if (n < 0) {
    int code = Sockets().lastError();
    if (code == kWsaWouldBlock) return;
    return FailHandshake(code, {}, false);
  }
  FirewallLayer::Step step = firewall_.Feed({buffer, static_cast<size_t>(n)});
  if (firewall_.GetState() == FirewallLayer::State::kFailed) {
    return FailHandshake(kErrFirewall, firewall_.FailureText(), true);
  }
  if (!step.send.empty() && !SendAll(step.send)) {
    return FailHandshake(kErrFirewall, "firewall request could not be sent", true);
  }
  if (firewall_.GetState() != FirewallLayer::State::kDone) return;
  handshaking_ = false;
  lineBuffer_.Append(step.leftover);
  UpdateReadWatch();
  const uint64_t generation = generation_;
  FireConnectResult(0, {});
  if (generation_ != generation) return;
  if (peerClosed_) return FinishPeerClose();
  if (acceptData_ && lineBuffer_.HeldCount() > 0) watcher_->PostRead();
}

void SocketEngine::FailHandshake(int code, const std::string& text, bool errorEvent) {
  // The handshake stays marked until the socket closes: nothing the proxy
  // sent is delivered as data, and the connection never counts as made.
  const uint64_t generation = generation_;
  errorText_ = text.empty() ? FormatErrorCode(code) : text;
  if (errorEvent) events_.OnError(code, errorText_);
  if (generation_ != generation) return;
  FireConnectResult(code, errorText_);
  if (generation_ != generation) return;
  DoDisconnect(0);
}

// ---------------------------------------------------------------- receiving

void SocketEngine::OnReadable() {
  if (socket_ == kNoSocket) return;
  if (!connected_) {
    if (pendingConnectError_ != 0) HandleConnectEvent();
    return;
  }
  if (handshaking_) return HandshakeRead();
  if (inPass_) return;
  if (!acceptData_) return ReadAhead();
  RunReceivePass();
}

void SocketEngine::OnWritable() {
  if (socket_ == kNoSocket) return;
  if (!connected_) return HandleConnectEvent();
  readyToSend_ = true;
  watcher_->EnableWrite(false);
  events_.OnReadyToSend();
}

void SocketEngine::UpdateReadWatch() {
  if (socket_ == kNoSocket) return;
  bool on = handshaking_ || (connected_ && !inPass_ && (acceptData_ || !dataWaiting_));
  watcher_->EnableRead(on);
}

void SocketEngine::OnClosed(int code) {
  if (socket_ == kNoSocket || peerClosed_) return;
  peerClosed_ = true;
  peerCloseCode_ = code;
  // Until the connect is complete, during a handshake (whose reads see the
  // close) and inside a pass, the close waits for them.
  if (!connected_ || handshaking_ || inPass_) return;
  HandleClose(code);
}

void SocketEngine::FinishPeerClose() {
  if (peerClosed_ && Connected() && !inPass_) HandleClose(peerCloseCode_);
}

void SocketEngine::ReadAhead() {
  // AcceptData off: bytes go into the line buffer, undelivered, while it has
  // room, so the peer's close is seen (WinSock tells of a close only once the
  // bytes before it are read). What does not fit waits in the system's buffer.
  for (;;) {
    std::span<char> space = lineBuffer_.FreeSpace();
    if (space.empty()) {
      dataWaiting_ = true;
      UpdateReadWatch();
      return;
    }
    SocketSize n = Sockets().recv(socket_, space.data(), space.size(), 0);
    if (n > 0) {
      lineBuffer_.Commit(static_cast<size_t>(n));
      continue;
    }
    if (n == 0) return HandleClose(peerClosed_ ? peerCloseCode_ : 0);
    int code = Sockets().lastError();
    if (!MeansConnectionGone(code)) return;
    const uint64_t generation = generation_;
    if (!EndsQuietly(code)) events_.OnError(code, RecvErrorText(code));
    if (generation_ == generation && socket_ != kNoSocket) HandleClose(code);
    return;
  }
}

// The connection's end: everything the socket still holds is read and
// delivered, whatever AcceptData says (the bytes would be lost with the
// socket), then the connection is closed with code, or with the error the
// reads ended with when code is 0.
void SocketEngine::HandleClose(int code) {
  const uint64_t generation = generation_;
  inPass_ = true;
  closing_ = true;
  watcher_->EnableRead(false);
  int readError = 0;
  std::string chunk;
  bool eol = false;
  while (generation_ == generation) {
    while (generation_ == generation && lineBuffer_.NextLine(chunk, eol)) Deliver(chunk, eol);
    if (generation_ != generation) break;
    std::span<char> space = lineBuffer_.FreeSpace();
    if (space.empty()) {
      Deliver(lineBuffer_.TakeAll(), false);
      continue;
    }
    SocketSize n = Sockets().recv(socket_, space.data(), space.size(), 0);
    if (n > 0) {
      lineBuffer_.Commit(static_cast<size_t>(n));
      continue;
    }
    if (n < 0) {
      int error = Sockets().lastError();
      if (error != kWsaWouldBlock && error != kWsaNotSocket) readError = error;
    }
    break;
  }
  if (generation_ == generation) DeliverRemaining();
  inPass_ = false;
  closing_ = false;
  if (generation_ != generation) return;
  closePending_ = false;
  DoDisconnect(code != 0 ? code : readError);
}

void SocketEngine::RunReceivePass() {
  if (inPass_ || socket_ == kNoSocket) return;
  const SocketApi& api = Sockets();
  const uint64_t generation = generation_;
  inPass_ = true;
  watcher_->EnableRead(false);
  int closeCode = -1;  // >= 0: the peer closed or reset the connection
  std::string chunk;
  bool eol = false;
  auto delivering = [&] {
    return generation_ == generation && acceptData_ && !interrupted_ && !closePending_;
  };
  while (delivering()) {
    while (delivering() && lineBuffer_.NextLine(chunk, eol)) Deliver(chunk, eol);
    if (!delivering()) break;
    std::span<char> space = lineBuffer_.FreeSpace();
    if (space.empty()) {
      Deliver(lineBuffer_.TakeAll(), false);
      continue;
    }
    SocketSize n = api.recv(socket_, space.data(), space.size(), 0);
    if (n > 0) {
      lineBuffer_.Commit(static_cast<size_t>(n));
      continue;
    }
    if (n == 0) {
      closeCode = peerClosed_ ? peerCloseCode_ : 0;
      break;
    }
    int code = Sockets().lastError();
    if (!EndsQuietly(code)) events_.OnError(code, RecvErrorText(code));
    if (MeansConnectionGone(code)) closeCode = code;
    break;
  }
  if (closeCode >= 0 && generation_ == generation) {
    closing_ = true;
    DeliverRemaining();
    closing_ = false;
  }
  inPass_ = false;
  if (generation_ != generation) return;
  if (closePending_) {
    closePending_ = false;
    DoDisconnect(closeCode >= 0 ? closeCode : closeCode_);
    return;
  }
  if (closeCode >= 0) {
    DoDisconnect(closeCode);
    return;
  }
  if (peerClosed_) return HandleClose(peerCloseCode_);
  UpdateReadWatch();
}

void SocketEngine::DeliverRemaining() {
  const uint64_t generation = generation_;
  std::string chunk;
  bool eol = false;
  while (generation_ == generation && lineBuffer_.NextLine(chunk, eol)) Deliver(chunk, eol);
  if (generation_ != generation || lineBuffer_.HeldCount() == 0) return;
  Deliver(lineBuffer_.TakeAll(), false);
}

void SocketEngine::Deliver(std::string_view bytes, bool eol) {
  if (hasDeadline_ && !absoluteTimeout_) StartDeadline();
  if (timeout_ > 0 && closing_ && singleLineMode_ && getLineDone_) {
    KeepClosingLine(bytes, eol);
  } else if (timeout_ > 0) {
    try {
      size_t limit = 20 * static_cast<size_t>(lineBuffer_.Capacity());
      if (getLineText_.size() + bytes.size() > limit) getLineText_.clear();
      getLineText_.append(bytes);
    } catch (const std::bad_alloc&) {
      getLineText_.clear();
      events_.OnError(kErrOutOfMemory, "Out of memory in DataIn [WRLMsg].");
    }
    if (eol) {
      getLineDone_ = true;
      if (singleLineMode_) acceptData_ = false;
    }
  }
  events_.OnDataIn(bytes, eol);
}

void SocketEngine::KeepClosingLine(std::string_view bytes, bool eol) {
  try {
    closePartial_.append(bytes);
    if (eol) {
      closeLines_.push_back(std::move(closePartial_));
      closePartial_.clear();
    }
  } catch (const std::bad_alloc&) {
    closePartial_.clear();
    events_.OnError(kErrOutOfMemory, "Out of memory in DataIn [WRLMsg].");
  }
}

// ---------------------------------------------------------------- disconnect

int SocketEngine::Disconnect() {
  if (timeout_ <= 0 || socket_ == kNoSocket) return DoDisconnect(0);
  DeadlineScope scope(*this);
  StartDeadline();
  // Only a Disconnected event fired for this close may change the result; a
  // socket that never connected or a close deferred to the end of a receive
  // pass fires none here.
  disconnectResult_ = 0;
  int rc = DoDisconnect(0);
  while (socket_ != kNoSocket && !inPass_) {
    if (int waitRc = WaitStep()) return waitRc;
  }
  return rc != 0 ? rc : disconnectResult_;
}

int SocketEngine::DoDisconnect(int code) {
  if (socket_ == kNoSocket) {
    ResetIdle();
    return 0;
  }
  watcher_->EnableRead(false);
  watcher_->EnableWrite(false);
  if (inPass_) {
    closePending_ = true;
    closeCode_ = code;
    return 0;
  }
  const uint64_t generation = generation_;
  if (acceptData_ && connected_ && !handshaking_) {
    inPass_ = true;
    std::string chunk;
    bool eol = false;
    while (generation_ == generation && lineBuffer_.NextLine(chunk, eol)) Deliver(chunk, eol);
    if (generation_ == generation) {
      std::span<char> space = lineBuffer_.FreeSpace();
      if (!space.empty()) {
        SocketSize n = Sockets().recv(socket_, space.data(), space.size(), 0);
        if (n > 0) lineBuffer_.Commit(static_cast<size_t>(n));
      }
      DeliverRemaining();
    }
    inPass_ = false;
    closePending_ = false;  // a Disconnect asked for meanwhile is this one
    if (generation_ != generation) return 0;
  }
  const bool wasConnected = connected_;
  const bool throughFirewall = firewallType_ != fwNone;
  watcher_->Watch(kNoSocket);
  int rc = 0;
  if (Sockets().close(socket_) != 0) rc = Sockets().lastError();
  socket_ = -1;
  ++generation_;
  ResetIdle();
  if (wasConnected) {
    // Closed before the events fire, so a handler may connect again at once.
    disconnectResult_ = code;
    std::string description = Describe(code, {});
    if (throughFirewall) {
      events_.OnConnectionStatus("Firewall host disconnected.", code, description);
    }
    events_.OnConnectionStatus("Remote host disconnected.", code, description);
    events_.OnDisconnected(code, description);
  }
  return rc;
}

void SocketEngine::CloseQuietly() {
  if (socket_ == kNoSocket) return;
  watcher_->Watch(kNoSocket);
  Sockets().close(socket_);
  socket_ = -1;
  ++generation_;
  ResetIdle();
}

void SocketEngine::ResetIdle() {
  connected_ = false;
  handshaking_ = false;
  bytesSent_ = 0;
  inPass_ = false;
  closePending_ = false;
  acceptData_ = true;
  dataWaiting_ = false;
  pendingConnectError_ = 0;
  peerClosed_ = false;
  peerCloseCode_ = 0;
}

// ---------------------------------------------------------------- sending

int SocketEngine::Send(std::string_view bytes) {
  if (!Connected()) return kWsaNotConnected;
  if (bytes.empty()) return 0;
  const SocketApi& api = Sockets();
  if (timeout_ <= 0) {
    SocketSize n = api.send(socket_, bytes.data(), bytes.size(), 0);
    if (n < 0) {
      bytesSent_ = 0;
      int code = Sockets().lastError();
      if (code == kWsaWouldBlock) {
        readyToSend_ = false;
        watcher_->EnableWrite(true);
      }
      return code;
    }
    bytesSent_ = static_cast<int32_t>(n);
    if (static_cast<size_t>(n) < bytes.size()) {
      readyToSend_ = false;
      watcher_->EnableWrite(true);
      return kWsaWouldBlock;
    }
    return 0;
  }

  DeadlineScope scope(*this);
  StartDeadline();
  const uint64_t generation = generation_;
  size_t sent = 0;
  while (sent < bytes.size()) {
    SocketSize n = api.send(socket_, bytes.data() + sent, bytes.size() - sent, 0);
    if (n > 0) {
      sent += static_cast<size_t>(n);
      bytesSent_ = static_cast<int32_t>(std::min<size_t>(sent, INT32_MAX));
      if (!absoluteTimeout_) StartDeadline();
      continue;
    }
    int code = n == 0 ? kWsaWouldBlock : Sockets().lastError();
    if (code != kWsaWouldBlock) {
      bytesSent_ = 0;
      return code;
    }
    readyToSend_ = false;
    watcher_->EnableWrite(true);
    if (int rc = WaitStep()) return rc;
    if (generation_ != generation || !Connected()) return kWsaNotConnected;
  }
  if (!singleLineMode_) SetAcceptData(true);
  return 0;
}

int SocketEngine::SendLine(std::string_view bytes) {
  if (singleLineMode_) SetAcceptData(false);
  std::string line(bytes);
  line += "\r\n";
  return Send(line);
}

// ---------------------------------------------------------------- waiting

void SocketEngine::StartDeadline() {
  hasDeadline_ = timeout_ > 0;
  deadline_ = Clock::now() + std::chrono::seconds(std::max<int16_t>(timeout_, 0));
}

int SocketEngine::WaitStep() {
  if (interrupted_) {
    interrupted_ = false;
    errorText_ = "Interrupted.";
    return kErrWait;
  }
  if (watcher_->WaitStep(kWaitStepMs) == SocketWatcher::WaitResult::kQuit) {
    errorText_ = "Interrupted.";
    return kErrWait;
  }
  if (hasDeadline_ && Clock::now() >= deadline_) {
    errorText_ = "Timeout.";
    return kErrWait;
  }
  return 0;
}

void SocketEngine::DoEvents() { watcher_->WaitStep(kWaitStepMs); }

int SocketEngine::GetLine(std::string& line) {
  line.clear();
  if (!closeLines_.empty()) {
    line = std::move(closeLines_.front());
    closeLines_.pop_front();
    return 0;
  }
  if (!Connected()) {
    errorText_ = "Disconnected.";
    return kErrWait;
  }
  if (timeout_ <= 0) {
    errorText_ = "GetLine requires a positive Timeout value.";
    return kErrWait;
  }
  DeadlineScope scope(*this);
  SetSingleLineMode(true);
  getLineText_.clear();
  getLineDone_ = false;
  StartDeadline();
  SetAcceptData(true);
  for (int steps = 1; !getLineDone_; ++steps) {
    if (!Connected()) {
      errorText_ = "Disconnected.";
      return kErrWait;
    }
    if (int rc = WaitStep()) return rc;
    if (steps % kForcedPassSteps == 0 && !inPass_ && acceptData_ && Connected()) {
      RunReceivePass();
    }
  }
  line.swap(getLineText_);
  getLineText_.clear();
  return 0;
}

// ---------------------------------------------------------------- config

int SocketEngine::Config(std::string_view text, std::string& result) {
  result.clear();
  size_t equals = text.find('=');
  const bool write = equals != std::string_view::npos;
  std::string_view name = text.substr(0, equals);
  std::string_view value = write ? text.substr(equals + 1) : std::string_view();
  auto is = [&](std::string_view setting) { return EqualsNoCase(name, setting); };
  auto unknown = [&] {
    errorText_ = "Unknown config setting.";
    return kErrUnknownConfig;
  };
  auto number = [&](int32_t& field) {
    if (write) {
      field = ParseNumber(value);
    } else {
      result = std::to_string(field);
    }
    return 0;
  };
  auto flag = [&](bool& field) {
    if (write) {
      field = ParseBool(value);
    } else {
      result = BoolText(field);
    }
    return 0;
  };

  if (is("FirewallData")) {
    if (write) firewallData_ = value;
    return 0;
  }
  if (is("MaxLineLength")) {
    if (!write) {
      result = std::to_string(lineBuffer_.Capacity());
      return 0;
    }
    if (socket_ != kNoSocket) return kErrMaxLineBusy;
    lineBuffer_.SetCapacity(ParseNumber(value));
    return 0;
  }
  if (is("SocketHandle")) {
    if (write) return unknown();
    result = std::to_string(socket_);
    return 0;
  }
  if (is("InBufferSize")) return number(receiveSize_);
  if (is("OutBufferSize")) return number(sendSize_);
  if (is("TcpNoDelay")) {
    flag(noDelay_);
    if (write && socket_ != kNoSocket) {
      int on = noDelay_ ? 1 : 0;
      if (Sockets().setsockopt(socket_, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on) != 0) {
        return Sockets().lastError();
      }
    }
    return 0;
  }
  if (is("SplitCRLF")) {
    if (!write) {
      result = BoolText(lineBuffer_.Split());
    } else if (ParseBool(value)) {
      lineBuffer_.SetMarker("\r\n", true);
    } else {
      lineBuffer_.SetMarker("", false);
    }
    return 0;
  }
  if (is("AbsoluteTimeout")) return flag(absoluteTimeout_);
  if (is("CodePage")) return number(codePage_);
  if (is("CharsetMode")) return number(charsetMode_);
  // The remaining settings are read-only.
  if (write) return unknown();
  if (is("WinsockLoaded")) {
    result = BoolText(WinsockLoader::Loaded());
  } else if (is("WinsockMaxDatagramSize")) {
    result = std::to_string(WinsockLoader::MaxDatagramSize());
  } else if (is("WinsockMaxSockets")) {
    result = std::to_string(WinsockLoader::MaxSockets());
  } else if (is("WinsockInfo")) {
    result = WinsockLoader::Info();
  } else if (is("WinsockPath")) {
    result = WinsockLoader::Path();
  } else if (is("WinsockStatus")) {
    result = WinsockLoader::Status();
  } else {
    return unknown();
  }
  return 0;
}

// ---------------------------------------------------------------- helpers

int SocketEngine::Resolve(std::string_view text, uint32_t& address) const {
  address = 0;
  if (text.empty()) return 0;
  std::string host(text);
  int code = Sockets().lookup(host.c_str(), &address);
  if (code == 0) return 0;
  address = 0;
  return code == kWsaNotInitialised ? 0 : code;
}

std::string SocketEngine::Describe(int code, const std::string& text) const {
  if (code == 0) return "OK";
  if (!text.empty()) return text;
  return FormatErrorCode(code);
}

}  // namespace torvane
