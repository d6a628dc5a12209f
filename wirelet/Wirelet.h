// The Wirelet control: a TCP client "port" reached through the dual interface
// IWirelet (vtable or dispatch identifiers), firing the events of
// _IWireletEvents to the sinks advised on its connection point, and keeping
// its persisted properties in a property bag.
//
// Every member returns an HRESULT. A failing member leaves error information
// on the thread (source = ProgID, description, help file, help context of the
// member); Invoke also copies it into the caller's ExcepInfo.
#ifndef TORVANE_WIRELET_WIRELET_H_
#define TORVANE_WIRELET_WIRELET_H_

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "Dispatch.h"
#include "FirewallLayer.h"
#include "SocketEngine.h"
#include "WireletTypeLib.h"

namespace torvane {

// The component code's HRESULT: 0x800A0000 | (code + 20001) below 10001,
// 0x800A0000 | (code + 15001) from 10001 on; 200 is 0x800A0007.
HResult WireletCodeToHResult(int code);

class IWirelet : public IDispatch {
 public:
  virtual HResult GetAcceptData(bool* value) = 0;
  virtual HResult PutAcceptData(bool value) = 0;
  virtual HResult GetBytesSent(int32_t* value) = 0;
  virtual HResult GetConnected(bool* value) = 0;
  virtual HResult PutConnected(bool value) = 0;
  virtual HResult PutDataToSend(const std::string& value) = 0;
  virtual HResult GetEOL(std::string* value) = 0;
  virtual HResult PutEOL(const std::string& value) = 0;
  virtual HResult GetFirewallHost(std::string* value) = 0;
  virtual HResult PutFirewallHost(const std::string& value) = 0;
  virtual HResult GetFirewallPassword(std::string* value) = 0;
  virtual HResult PutFirewallPassword(const std::string& value) = 0;
  virtual HResult GetFirewallPort(int32_t* value) = 0;
  virtual HResult PutFirewallPort(int32_t value) = 0;
  virtual HResult GetFirewallType(TFirewallType* value) = 0;
  virtual HResult PutFirewallType(TFirewallType value) = 0;
  virtual HResult GetFirewallUser(std::string* value) = 0;
  virtual HResult PutFirewallUser(const std::string& value) = 0;
  virtual HResult GetKeepAlive(bool* value) = 0;
  virtual HResult PutKeepAlive(bool value) = 0;
  virtual HResult GetLinger(bool* value) = 0;
  virtual HResult PutLinger(bool value) = 0;
  virtual HResult GetLocalHost(std::string* value) = 0;
  virtual HResult PutLocalHost(const std::string& value) = 0;
  virtual HResult GetLocalPort(int32_t* value) = 0;
  virtual HResult PutLocalPort(int32_t value) = 0;
  virtual HResult GetRemoteHost(std::string* value) = 0;
  virtual HResult PutRemoteHost(const std::string& value) = 0;
  virtual HResult GetRemotePort(int32_t* value) = 0;
  virtual HResult PutRemotePort(int32_t value) = 0;
  virtual HResult GetSingleLineMode(bool* value) = 0;
  virtual HResult PutSingleLineMode(bool value) = 0;
  virtual HResult GetTimeout(int16_t* value) = 0;
  virtual HResult PutTimeout(int16_t value) = 0;
  virtual HResult PutDataToSendB(const Variant& value) = 0;
  virtual HResult GetEOLB(Variant* value) = 0;
  virtual HResult PutEOLB(const Variant& value) = 0;
  virtual HResult GetDataInTextB(Variant* value) = 0;
  virtual HResult Config(const std::string& configurationString, std::string* result) = 0;
  virtual HResult Connect(const std::string& host, int32_t port) = 0;
  virtual HResult Disconnect() = 0;
  virtual HResult DoEvents() = 0;
  virtual HResult GetLine(std::string* line) = 0;
  virtual HResult Send(const std::string& text) = 0;
  virtual HResult SendLine(const std::string& text) = 0;

 protected:
  ~IWirelet() = default;
};

class Wirelet final : public IWirelet,
                      public IConnectionPoint,
                      public IPersistPropertyBag,
                      private EngineEvents,
                      private SocketWatcher::Client {
 public:
  using WatcherFactory = std::function<std::unique_ptr<SocketWatcher>()>;

  // A new control with one reference, its socket notifications coming from a
  // watcher made by makeWatcher. onDestroyed (may be empty) runs from the
  // destructor.
  static Wirelet* Create(const WatcherFactory& makeWatcher, std::function<void()> onDestroyed = {});

  // The container's ambient user mode: in design mode the run-time-only
  // properties cannot be read.
  void SetDesignMode(bool on) { designMode_ = on; }

  // IUnknown (shared by every interface of the object).
  HResult QueryInterface(const Guid& iid, void** out) override;
  uint32_t AddRef() override;
  uint32_t Release() override;

  // IDispatch
  HResult GetIDsOfNames(std::span<const std::string> names, std::span<DispId> ids) override;
  HResult Invoke(DispId id, uint16_t flags, std::span<Variant> args, Variant* result,
                 ExcepInfo* excep) override;

  // IWirelet
  HResult GetAcceptData(bool* value) override;
  HResult PutAcceptData(bool value) override;
  HResult GetBytesSent(int32_t* value) override;
  HResult GetConnected(bool* value) override;
  HResult PutConnected(bool value) override;
  HResult PutDataToSend(const std::string& value) override;
  HResult GetEOL(std::string* value) override;
  HResult PutEOL(const std::string& value) override;
  HResult GetFirewallHost(std::string* value) override;
  HResult PutFirewallHost(const std::string& value) override;
  HResult GetFirewallPassword(std::string* value) override;
  HResult PutFirewallPassword(const std::string& value) override;
  HResult GetFirewallPort(int32_t* value) override;
  HResult PutFirewallPort(int32_t value) override;
  HResult GetFirewallType(TFirewallType* value) override;
  HResult PutFirewallType(TFirewallType value) override;
  HResult GetFirewallUser(std::string* value) override;
  HResult PutFirewallUser(const std::string& value) override;
  HResult GetKeepAlive(bool* value) override;
  HResult PutKeepAlive(bool value) override;
  HResult GetLinger(bool* value) override;
  HResult PutLinger(bool value) override;
  HResult GetLocalHost(std::string* value) override;
  HResult PutLocalHost(const std::string& value) override;
  HResult GetLocalPort(int32_t* value) override;
  HResult PutLocalPort(int32_t value) override;
  HResult GetRemoteHost(std::string* value) override;
  HResult PutRemoteHost(const std::string& value) override;
  HResult GetRemotePort(int32_t* value) override;
  HResult PutRemotePort(int32_t value) override;
  HResult GetSingleLineMode(bool* value) override;
  HResult PutSingleLineMode(bool value) override;
  HResult GetTimeout(int16_t* value) override;
  HResult PutTimeout(int16_t value) override;
  HResult PutDataToSendB(const Variant& value) override;
  HResult GetEOLB(Variant* value) override;
  HResult PutEOLB(const Variant& value) override;
  HResult GetDataInTextB(Variant* value) override;
  HResult Config(const std::string& configurationString, std::string* result) override;
  HResult Connect(const std::string& host, int32_t port) override;
  HResult Disconnect() override;
  HResult DoEvents() override;
  HResult GetLine(std::string* line) override;
  HResult Send(const std::string& text) override;
  HResult SendLine(const std::string& text) override;

  // IConnectionPoint (for _IWireletEvents)
  HResult Advise(IDispatch* sink, uint32_t* cookie) override;
  HResult Unadvise(uint32_t cookie) override;

  // IPersistPropertyBag
  HResult InitNew() override;
  HResult Load(PropertyBag& bag) override;
  HResult Save(PropertyBag& bag) override;

  // Text conversions with the CodePage setting (0: the system's ANSI code
  // page; see CodePageText.h). Config accepts any number, as it always did;
  // a page the system cannot convert acts as Windows-1252.
  std::string DecodeText(std::string_view bytes) const;
  std::string EncodeText(std::string_view utf8) const;

 private:
  // Counts the calls into the object that are running, so a last Release
  // inside one of them deletes the object only when the outermost returns.
  class Entry {
   public:
    explicit Entry(Wirelet& self, bool fromLoop = false);
    ~Entry();

   private:
    Wirelet& self_;
    bool fromLoop_;
  };

  Wirelet(const WatcherFactory& makeWatcher, std::function<void()> onDestroyed);
  ~Wirelet();

  // EngineEvents
  void OnConnected(int statusCode, const std::string& description) override;
  void OnConnectionStatus(const std::string& connectionEvent, int statusCode,
                          const std::string& description) override;
  void OnDataIn(std::string_view bytes, bool eol) override;
  void OnDisconnected(int statusCode, const std::string& description) override;
  void OnError(int errorCode, const std::string& description) override;
  void OnReadyToSend() override;

  // SocketWatcher::Client: forwards to the engine inside an Entry.
  void OnReadable() override;
  void OnWritable() override;
  void OnClosed(int code) override;

  void Fire(DispId id, std::span<Variant> values);
  HResult Begin();
  HResult Finish(int code, uint32_t helpContext);
  HResult RaiseError(HResult hr, const std::string& description, uint32_t helpContext);
  HResult RunTimeOnly(uint32_t helpContext);
  HResult InvokeProperty(const WireletMember& member, uint16_t flags, std::span<Variant> args,
                         Variant* result);
  HResult InvokeMethod(const WireletMember& member, std::span<Variant> args, Variant* result);
  HResult Store(const std::string& name, PropertyBag& bag, const Variant& value);

  uint32_t refs_ = 1;
  int entries_ = 0;
  bool deletePending_ = false;
  bool designMode_ = false;
  std::unique_ptr<SocketEngine> engine_;
  SocketWatcher* watcher_ = nullptr;  // owned by the engine
  std::vector<std::pair<uint32_t, ComPtr<IDispatch>>> sinks_;
  uint32_t nextCookie_ = 1;
  std::optional<std::vector<uint8_t>> dataInBytes_;  // while DataIn fires
  std::function<void()> onDestroyed_;
};

}  // namespace torvane

#endif  // TORVANE_WIRELET_WIRELET_H_
