#include "FirewallLayer.h"

#include <algorithm>
#include <cstdio>

namespace torvane {
namespace {

constexpr size_t kMaxField = 255;

std::string Cut(std::string_view text) { return std::string(text.substr(0, kMaxField)); }

void AppendAddress(std::string& out, uint32_t networkOrder) {
  const auto* bytes = reinterpret_cast<const unsigned char*>(&networkOrder);
  out.append(reinterpret_cast<const char*>(bytes), 4);
}

void AppendPort(std::string& out, uint16_t port) {
  out += static_cast<char>(port >> 8);
  out += static_cast<char>(port & 0xFF);
}

std::string Numbered(const char* format, int value) {
  char text[64];
  std::snprintf(text, sizeof text, format, value);
  return text;
}

// The first line of an HTTP reply, for the error text.
std::string FirstLine(std::string_view reply) {
  size_t end = reply.find_first_of("\r\n");
  return std::string(reply.substr(0, std::min(end, FirewallLayer::kMaxStatusLine)));
}

}  // namespace

std::string Base64Encode(std::string_view bytes) {
  static constexpr char kAlphabet[] =
      "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string out;
  out.reserve((bytes.size() + 2) / 3 * 4);
  size_t i = 0;
  for (; i + 3 <= bytes.size(); i += 3) {
    uint32_t v = (uint32_t(uint8_t(bytes[i])) << 16) | (uint32_t(uint8_t(bytes[i + 1])) << 8) |
                 uint8_t(bytes[i + 2]);
    out += kAlphabet[(v >> 18) & 63];
    out += kAlphabet[(v >> 12) & 63];
    out += kAlphabet[(v >> 6) & 63];
    out += kAlphabet[v & 63];
  }
  size_t rest = bytes.size() - i;
  if (rest > 0) {
    uint32_t v = uint32_t(uint8_t(bytes[i])) << 16;
    if (rest == 2) v |= uint32_t(uint8_t(bytes[i + 1])) << 8;
    out += kAlphabet[(v >> 18) & 63];
    out += kAlphabet[(v >> 12) & 63];
    out += rest == 2 ? kAlphabet[(v >> 6) & 63] : '=';
    out += '=';
  }
  return out;
}

std::string FirewallLayer::Start(const Target& target) {
  target_ = target;
  reply_.clear();
  failure_.clear();
  statusOk_ = false;
  badStatus_ = false;
  state_ = State::kRunning;
  std::string request;
  switch (target_.type) {
    case fwTunnel: {
      request = "CONNECT " + target_.remoteText + ":" + std::to_string(target_.remotePort) +
                " HTTP/1.0\r\n";
      if (!target_.user.empty() || !target_.password.empty()) {
        request += "Proxy-authorization: Basic " +
                   Base64Encode(target_.user + ":" + target_.password) + "\r\n";
      }
      request += "\r\n";
      phase_ = Phase::kHttp;
      break;
    }
    case fwSOCKS4:
      request = {4, 1};
      AppendPort(request, target_.remotePort);
      AppendAddress(request, target_.remoteAddress);
      request += Cut(target_.user);
      request += '\0';
      phase_ = Phase::kSocks4;
      break;
    case fwSOCKS5:
      if (!target_.user.empty() && !target_.password.empty()) {
        request = {5, 2, 0, 2};
      } else {
        request = {5, 1, 0};
      }
      phase_ = Phase::kSocks5Method;
      break;
    default:
      state_ = State::kDone;
      break;
  }
  return request;
}

void FirewallLayer::Fail(std::string text) {
  state_ = State::kFailed;
  failure_ = std::move(text);
}

size_t FirewallLayer::Socks5ReplyLength() const {
  if (reply_.size() < 5) return 5;
  switch (static_cast<uint8_t>(reply_[3])) {
    case 3:
      return 7 + static_cast<uint8_t>(reply_[4]);
    case 4:
      return 22;
    default:
      return 10;
  }
}

size_t FirewallLayer::BytesWanted() const {
  if (state_ != State::kRunning) return 0;
  switch (phase_) {
    case Phase::kHttp:
      return 1;
    case Phase::kSocks4:
      return 8 - reply_.size();
    case Phase::kSocks5Method:
    case Phase::kSocks5Auth:
      return 2 - reply_.size();
    case Phase::kSocks5Connect:
      return Socks5ReplyLength() - reply_.size();
  }
  return 1;
}

FirewallLayer::Step FirewallLayer::Feed(std::string_view bytes) {
  Step step;
  while (!bytes.empty() && state_ == State::kRunning) {
    size_t n = std::min(BytesWanted(), bytes.size());
    reply_.append(bytes.substr(0, n));
    bytes.remove_prefix(n);
    switch (phase_) {
      case Phase::kHttp:
        FeedHttp(step);
        break;
      case Phase::kSocks4:
        FeedSocks4(step);
        break;
      default:
        FeedSocks5(step);
        break;
    }
  }
  if (state_ == State::kDone) step.leftover.assign(bytes);
  return step;
}

void FirewallLayer::FeedHttp(Step&) {
  // Once more than 9 bytes are in, the status after the first blank(s) must
  // start with "2". A refusal is reported with the whole status line, so the
  // verdict waits for its end; a header that ends with no status is garbled.
  const bool ended = reply_.ends_with("\r\n\r\n") || reply_.ends_with("\n\n");
  if (!statusOk_ && !badStatus_ && (reply_.size() > 9 || ended)) {
    size_t lineEnd = reply_.find_first_of("\r\n");
    size_t blank = reply_.find(' ');
    if (blank == std::string::npos || blank > lineEnd) {
      badStatus_ = true;
    } else {
      size_t first = reply_.find_first_not_of(' ', blank);
      if (first == std::string::npos) {
        badStatus_ = ended;
      } else {
        statusOk_ = reply_[first] == '2';
        badStatus_ = !statusOk_;
      }
    }
  }
  if (badStatus_) {
    if (ended || reply_.find_first_of("\r\n") != std::string::npos ||
        reply_.size() >= kMaxStatusLine) {
      Fail(FirstLine(reply_));
    }
    return;
  }
  if (ended) {
    state_ = State::kDone;
  } else if (reply_.size() >= kMaxHttpReply) {
    Fail("firewall reply too long");
  }
}

void FirewallLayer::EndOfInput() {
  if (state_ != State::kRunning) return;
  if (badStatus_) return Fail(FirstLine(reply_));
  Fail("Firewall host disconnected.");
}

void FirewallLayer::FeedSocks4(Step&) {
  if (reply_.size() < 8) return;
  int code = static_cast<uint8_t>(reply_[1]);
  switch (code) {
    case 90:
      state_ = State::kDone;
      return;
    case 91:
      return Fail("firewall request rejected or failed");
    case 92:
      return Fail("firewall request rejected because identd is not available");
    case 93:
      return Fail("firewall request rejected because identd reports different user");
    default:
      return Fail(Numbered("unknown firewall error: %d", code));
  }
}

std::string FirewallLayer::Socks5ConnectRequest() const {
  std::string request = {5, 1, 0};
  if (!target_.remoteText.empty() && target_.remoteText[0] == '*') {
    std::string name = Cut(std::string_view(target_.remoteText).substr(1));
    request += '\3';
    request += static_cast<char>(name.size());
    request += name;
  } else {
    request += '\1';
    AppendAddress(request, target_.remoteAddress);
  }
  AppendPort(request, target_.remotePort);
  return request;
}

void FirewallLayer::FeedSocks5(Step& step) {
  switch (phase_) {
    case Phase::kSocks5Method: {
      if (reply_.size() < 2) return;
      int method = static_cast<uint8_t>(reply_[1]);
      reply_.clear();
      if (method == 0) {
        step.send += Socks5ConnectRequest();
        phase_ = Phase::kSocks5Connect;
      } else if (method == 2) {
        std::string user = Cut(target_.user);
        std::string password = Cut(target_.password);
        step.send += '\1';
        step.send += static_cast<char>(user.size());
        step.send += user;
        step.send += static_cast<char>(password.size());
        step.send += password;
        phase_ = Phase::kSocks5Auth;
      } else if (method == 255) {
        Fail("no acceptable firewall authentication methods");
      } else {
        Fail("unknown firewall authentication method");
      }
      return;
    }
    case Phase::kSocks5Auth: {
      if (reply_.size() < 2) return;
      int status = static_cast<uint8_t>(reply_[1]);
      reply_.clear();
      if (status != 0) return Fail(Numbered("firewall authentication failed: %d", status));
      step.send += Socks5ConnectRequest();
      phase_ = Phase::kSocks5Connect;
      return;
    }
    default:
      break;
  }
  if (reply_.size() < 2) return;
  int code = static_cast<uint8_t>(reply_[1]);
  static constexpr const char* kTexts[] = {
      nullptr,
      "general SOCKS server failure",
      "connection not allowed by ruleset",
      "network unreachable",
      "host unreachable",
      "connection refused",
      "TTL expired",
      "command not supported",
      "address type not supported",
  };
  if (code != 0) {
    if (code < 9) return Fail(kTexts[code]);
    return Fail(Numbered("unknown firewall error: %d", code));
  }
  if (reply_.size() >= Socks5ReplyLength()) state_ = State::kDone;
}

}  // namespace torvane
