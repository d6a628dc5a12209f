// The TCP client engine behind the Wirelet control: one socket, its
// notifications turned into the control's six events, incoming bytes cut into
// lines, sending, waiting for completion when a Timeout is set, and the proxy
// handshakes. Runs entirely on the thread that created it; re-entrancy comes
// only from event handlers and waits.
//
// Operations return 0 or an error code (component codes and WinSock codes of
// ErrorCodes.h). A failure with a text of its own leaves it in ErrorText();
// the caller describes the others with FormatErrorCode().
#ifndef TORVANE_WIRELET_SOCKETENGINE_H_
#define TORVANE_WIRELET_SOCKETENGINE_H_

#include <chrono>
#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <string_view>

#include "FirewallLayer.h"
#include "LineBuffer.h"
#include "SocketTypes.h"
#include "SocketWatcher.h"

namespace torvane {

// What the engine tells its control. Handlers may call back into the engine
// (including Disconnect and the waiting operations) but must not destroy it.
class EngineEvents {
 public:
  virtual void OnConnected(int statusCode, const std::string& description) = 0;
  virtual void OnConnectionStatus(const std::string& connectionEvent, int statusCode,
                                  const std::string& description) = 0;
  virtual void OnDataIn(std::string_view bytes, bool eol) = 0;
  virtual void OnDisconnected(int statusCode, const std::string& description) = 0;
  virtual void OnError(int errorCode, const std::string& description) = 0;
  virtual void OnReadyToSend() = 0;

 protected:
  ~EngineEvents() = default;
};

class SocketEngine : private SocketWatcher::Client {
 public:
  // events must outlive the engine.
  SocketEngine(EngineEvents& events, std::unique_ptr<SocketWatcher> watcher);
  ~SocketEngine();
  SocketEngine(const SocketEngine&) = delete;
  SocketEngine& operator=(const SocketEngine&) = delete;

  // Properties. Setters that can be refused return a code.
  bool AcceptData() const { return acceptData_; }
  void SetAcceptData(bool on);
  int32_t BytesSent() const { return bytesSent_; }
  // True once the connection, any proxy handshake included, is complete.
  bool Connected() const;
  int SetConnected(bool on);
  const std::string& Eol() const { return lineBuffer_.Marker(); }
  void SetEol(std::string marker);
  std::string FirewallHost() const;
  int SetFirewallHost(std::string_view text);
  const std::string& FirewallPassword() const { return firewallPassword_; }
  void SetFirewallPassword(std::string text) { firewallPassword_ = std::move(text); }
  int32_t FirewallPort() const { return firewallPort_; }
  void SetFirewallPort(int32_t port) { firewallPort_ = port; }
  TFirewallType FirewallType() const { return firewallType_; }
  // Also sets FirewallPort: 1080 for the SOCKS types, 80 otherwise.
  void SetFirewallType(TFirewallType type);
  const std::string& FirewallUser() const { return firewallUser_; }
  void SetFirewallUser(std::string text);  // kept to 255 bytes
  bool KeepAlive() const { return keepAlive_; }
  void SetKeepAlive(bool on) { keepAlive_ = on; }
  bool Linger() const { return linger_; }
  void SetLinger(bool on) { linger_ = on; }
  std::string LocalHost() const;
  int SetLocalHost(std::string_view text);
  int32_t LocalPort() const;
  int SetLocalPort(int32_t port);
  std::string RemoteHost() const;
  int SetRemoteHost(std::string_view text);
  int32_t RemotePort() const { return remotePort_; }
  int SetRemotePort(int32_t port);
  bool SingleLineMode() const { return singleLineMode_; }
  void SetSingleLineMode(bool on);
  int16_t Timeout() const { return timeout_; }
  void SetTimeout(int16_t seconds);

  // Connect to RemoteHost/RemotePort (or through the firewall). Timeout 0:
  // starts the connect and returns; the Connected event tells the outcome.
  // Timeout > 0: returns when the connection is complete or has failed.
  // While a socket exists it fails with 104 and leaves that socket as it is
  // (Timeout > 0 on a complete connection succeeds at once).
  int Connect();
  // Closes the connection (deferred to the end of a running receive pass).
  // Timeout > 0: returns the code of the Disconnected event this close fired,
  // 0 when it fired none.
  int Disconnect();
  // Sends the bytes; Timeout 0 sends what the system takes at once
  // (10035 when not all), Timeout > 0 waits until everything is sent.
  int Send(std::string_view bytes);
  int SendLine(std::string_view bytes);  // bytes + CR LF
  // Timeout > 0 only: waits for the next line of text. Lines that the peer's
  // close delivered after the one a GetLine took are kept for the next calls,
  // also once the connection is gone.
  int GetLine(std::string& line);
  // One wait step of the event loop (20 ms at most).
  void DoEvents();
  // "Name" reads a setting into result, "Name=value" writes one.
  int Config(std::string_view text, std::string& result);

  const std::string& ErrorText() const { return errorText_; }
  void SetErrorText(std::string text) { errorText_ = std::move(text); }
  int32_t CodePage() const { return codePage_; }
  int32_t CharsetMode() const { return charsetMode_; }
  intptr_t SocketHandle() const { return socket_; }
  int32_t MaxLineLength() const { return lineBuffer_.Capacity(); }

  // Makes the current (or next) wait stop with "Interrupted.".
  void Interrupt() { interrupted_ = true; }

  // The texts as given, for persisting.
  const std::string& RemoteText() const { return remoteText_; }
  const std::string& FirewallText() const { return firewallText_; }

  // The watcher's notifications. The engine is the watcher's client unless
  // its owner takes that place and forwards them.
  void OnReadable() override;
  void OnWritable() override;
  void OnClosed(int code) override;
  SocketWatcher& Watcher() { return *watcher_; }

 private:
  using Clock = std::chrono::steady_clock;

  // Saves the deadline of an enclosing wait and puts it back.
  class DeadlineScope {
   public:
    explicit DeadlineScope(SocketEngine& engine);
    ~DeadlineScope();

   private:
    SocketEngine& engine_;
    bool had_;
    Clock::time_point deadline_;
  };

  int StartConnect();
  int ConnectWaiting();
  void HandleConnectEvent();
  void StartHandshake();
  void HandshakeRead();
  void FailHandshake(int code, const std::string& text, bool errorEvent);
  void FireConnectResult(int code, const std::string& text);
  void RunReceivePass();
  void ReadAhead();
  void HandleClose(int code);
  void FinishPeerClose();
  void DeliverRemaining();
  void Deliver(std::string_view bytes, bool eol);
  void KeepClosingLine(std::string_view bytes, bool eol);
  int DoDisconnect(int code);
  void CloseQuietly();
  void ResetIdle();
  void UpdateReadWatch();
  int WaitStep();
  void StartDeadline();
  int Resolve(std::string_view text, uint32_t& address) const;
  std::string Describe(int code, const std::string& text) const;
  bool SendAll(std::string_view bytes);

  EngineEvents& events_;
  std::unique_ptr<SocketWatcher> watcher_;

  torvane::SocketHandle socket_ = kNoSocket;
  bool winsockHeld_ = false;  // this engine's WinsockLoader::Acquire succeeded
  uint64_t generation_ = 0;   // counts sockets opened and closed
  bool connected_ = false;    // the socket connect completed (before any handshake)
  bool handshaking_ = false;
  bool acceptData_ = true;
  bool dataWaiting_ = false;  // accept data off and bytes wait in the system's buffer
  bool inPass_ = false;
  bool closePending_ = false;
  int closeCode_ = 0;
  bool peerClosed_ = false;  // the watcher told of the peer's close
  int peerCloseCode_ = 0;
  bool linger_ = true;
  bool keepAlive_ = false;
  bool noDelay_ = false;
  bool readyToSend_ = true;
  bool singleLineMode_ = false;
  int32_t receiveSize_ = 2048;
  int32_t sendSize_ = 2048;
  std::string remoteText_;
  uint32_t remoteAddress_ = 0;  // network order
  int32_t remotePort_ = 0;
  std::string localText_;
  uint32_t localAddress_ = 0;
  int32_t localPort_ = 0;
  std::string firewallText_;
  uint32_t firewallAddress_ = 0;
  int32_t firewallPort_ = 80;
  TFirewallType firewallType_ = fwNone;
  std::string firewallUser_;
  std::string firewallPassword_;
  std::string firewallData_;
  int32_t bytesSent_ = 0;
  int16_t timeout_ = 0;
  bool hasDeadline_ = false;
  Clock::time_point deadline_{};
  bool absoluteTimeout_ = false;
  bool interrupted_ = false;
  std::string errorText_;
  LineBuffer lineBuffer_;
  std::string getLineText_;
  bool getLineDone_ = false;
  bool closing_ = false;  // delivering what the connection held at its end
  std::deque<std::string> closeLines_;
  std::string closePartial_;
  int pendingConnectError_ = 0;
  bool connectDone_ = false;
  int connectResult_ = 0;
  std::string connectDescription_;
  int disconnectResult_ = 0;
  FirewallLayer firewall_;
  int32_t codePage_ = 0;
  int32_t charsetMode_ = 0;
};

}  // namespace torvane

#endif  // TORVANE_WIRELET_SOCKETENGINE_H_
