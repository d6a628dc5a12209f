// A client TCP link through one Wirelet control, created by ProgID and driven
// late-bound as any container drives it. Text crosses in the system's
// single-byte code page.
#ifndef TORVANE_APP_SHELL_NETWORKLINK_H_
#define TORVANE_APP_SHELL_NETWORKLINK_H_

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>

#include "Dispatch.h"
#include "RegistryHive.h"

namespace torvane {

// A failed call on the control: its error code and description.
class NetworkLinkError : public std::runtime_error {
 public:
  NetworkLinkError(int32_t code, const std::string& description)
      : std::runtime_error(description), code_(code) {}
  int32_t code() const { return code_; }

 private:
  int32_t code_;
};

class NetworkLink {
 public:
  static constexpr const char* kProgId = "Wirekit.Wirelet";

  // The control registered in classes; null with the reason in *error when it
  // cannot be created.
  static std::unique_ptr<NetworkLink> Create(const RegistryHive& classes, std::string* error);
  ~NetworkLink();
  NetworkLink(const NetworkLink&) = delete;
  NetworkLink& operator=(const NetworkLink&) = delete;

  // Each raises NetworkLinkError when the control refuses.
  void Connect(const std::string& host, int32_t port);
  void Disconnect();
  bool Connected();
  void Send(std::string_view text);

  // Received text, in the system code page.
  std::function<void(const std::string& text)> OnDataIn;
  // The control's Error event, and a Connected event that reports a failure
  // unless OnConnected takes those.
  std::function<void(int32_t code, const std::string& description)> OnError;
  // Every Connected event: code 0 when the connection is made, else why it
  // failed. A container that sets this hears of failed connects here only.
  std::function<void(int32_t code, const std::string& description)> OnConnected;
  // The connection closed, by the peer or by Disconnect.
  std::function<void(int32_t code, const std::string& description)> OnDisconnected;

 private:
  explicit NetworkLink(IDispatch* control);
  Variant Call(const char* name, uint16_t flags, std::vector<Variant> args);
  void OnEvent(DispId id, std::span<Variant> args);

  IDispatch* control_;
  std::map<std::string, DispId, std::less<>> ids_;
  IConnectionPoint* point_ = nullptr;
  IDispatch* sink_ = nullptr;
  uint32_t cookie_ = 0;
};

}  // namespace torvane

#endif  // TORVANE_APP_SHELL_NETWORKLINK_H_
