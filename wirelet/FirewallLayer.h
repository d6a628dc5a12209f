// The proxy handshakes that run after the socket connects and before the
// connection counts as made: HTTP CONNECT (with optional Basic authorisation),
// SOCKS4 and SOCKS5 (with optional user/password). Pure byte logic: the engine
// sends what Start()/Feed() return and feeds the reply bytes in, never more
// than BytesWanted() at a time, so nothing after the reply is consumed.
#ifndef TORVANE_WIRELET_FIREWALLLAYER_H_
#define TORVANE_WIRELET_FIREWALLLAYER_H_

#include <cstdint>
#include <string>
#include <string_view>

namespace torvane {

enum TFirewallType : int32_t { fwNone = 0, fwTunnel = 1, fwSOCKS4 = 2, fwSOCKS5 = 3 };

// RFC 4648 alphabet, "=" padding, no line breaks.
std::string Base64Encode(std::string_view bytes);

class FirewallLayer {
 public:
  struct Target {
    TFirewallType type = fwNone;
    std::string remoteText;      // RemoteHost as given
    uint32_t remoteAddress = 0;  // resolved remote text, network order (SOCKS)
    uint16_t remotePort = 0;
    std::string user;      // at most 255 bytes are used
    std::string password;  // at most 255 bytes are used
  };

  enum class State { kIdle, kRunning, kDone, kFailed };

  struct Step {
    std::string send;      // bytes to send now (may be empty)
    std::string leftover;  // received bytes past the end of the reply
  };

  // Resets and returns the opening request.
  std::string Start(const Target& target);

  // Takes reply bytes. When the state turns kFailed, FailureText() says why.
  Step Feed(std::string_view bytes);

  // The proxy closed the connection: a running handshake fails, with the
  // proxy's status line when it had refused, else "Firewall host disconnected.".
  void EndOfInput();

  // How many reply bytes the current phase can use without reading past its
  // end; at least 1 while running, 0 otherwise.
  size_t BytesWanted() const;

  State GetState() const { return state_; }
  const std::string& FailureText() const { return failure_; }

  // The longest HTTP reply header kept; a longer one fails the handshake.
  static constexpr size_t kMaxHttpReply = 8192;
  // The longest refusal status line reported.
  static constexpr size_t kMaxStatusLine = 256;

 private:
  enum class Phase { kHttp, kSocks4, kSocks5Method, kSocks5Auth, kSocks5Connect };

  void Fail(std::string text);
  std::string Socks5ConnectRequest() const;
  void FeedHttp(Step& step);
  void FeedSocks4(Step& step);
  void FeedSocks5(Step& step);
  size_t Socks5ReplyLength() const;

  Target target_;
  State state_ = State::kIdle;
  Phase phase_ = Phase::kHttp;
  std::string reply_;
  bool statusOk_ = false;   // HTTP: the status says success
  bool badStatus_ = false;  // HTTP: refused; failing once the status line is in
  std::string failure_;
};

}  // namespace torvane

#endif  // TORVANE_WIRELET_FIREWALLLAYER_H_
