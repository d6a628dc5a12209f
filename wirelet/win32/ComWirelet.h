// The Wirelet control as a real COM object: the dual interface IWirelet
// (vtable and IDispatch), the connection point of _IWireletEvents, class
// information, error information and persistence (a property bag, a stream,
// a storage's "Contents" stream). Every member is handed to the shared
// control (Wirelet), so both builds run the same logic; late-bound calls are
// checked and their arguments coerced here first, as the system's own
// dispatch does, so callers get the dispatch codes they expect.
#ifndef TORVANE_WIRELET_WIN32_COMWIRELET_H_
#define TORVANE_WIRELET_WIN32_COMWIRELET_H_

// The socket engine's headers bring winsock2.h, which must come before windows.h.
#include <winsock2.h>

#include <ocidl.h>
#include <windows.h>

#include <cstdint>
#include <span>
#include <utility>
#include <vector>

#include "Wirelet.h"
#include "Wirelet_h.h"

namespace torvane {

class ComWirelet final : public ::IWirelet,
                         public ::IConnectionPointContainer,
                         public ::IConnectionPoint,
                         public ::IProvideClassInfo2,
                         public ::IPersistPropertyBag,
                         public ::IPersistStreamInit,
                         public ::IPersistStorage,
                         public ::ISupportErrorInfo {
 public:
  // A new object with one reference.
  static ComWirelet* Create();

  // IUnknown
  STDMETHODIMP QueryInterface(REFIID iid, void** out) override;
  STDMETHODIMP_(ULONG) AddRef() override;
  STDMETHODIMP_(ULONG) Release() override;

  // IDispatch
  STDMETHODIMP GetTypeInfoCount(UINT* count) override;
  STDMETHODIMP GetTypeInfo(UINT index, LCID locale, ITypeInfo** info) override;
  STDMETHODIMP GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT count, LCID locale,
                             DISPID* ids) override;
  STDMETHODIMP Invoke(DISPID id, REFIID iid, LCID locale, WORD flags, DISPPARAMS* params,
                      VARIANT* result, EXCEPINFO* excep, UINT* argError) override;

  // IWirelet
  STDMETHODIMP get_AcceptData(VARIANT_BOOL* value) override;
  STDMETHODIMP put_AcceptData(VARIANT_BOOL value) override;
  STDMETHODIMP get_BytesSent(LONG* value) override;
  STDMETHODIMP get_Connected(VARIANT_BOOL* value) override;
  STDMETHODIMP put_Connected(VARIANT_BOOL value) override;
  STDMETHODIMP put_DataToSend(BSTR value) override;
  STDMETHODIMP get_EOL(BSTR* value) override;
  STDMETHODIMP put_EOL(BSTR value) override;
  STDMETHODIMP get_FirewallHost(BSTR* value) override;
  STDMETHODIMP put_FirewallHost(BSTR value) override;
  STDMETHODIMP get_FirewallPassword(BSTR* value) override;
  STDMETHODIMP put_FirewallPassword(BSTR value) override;
  STDMETHODIMP get_FirewallPort(LONG* value) override;
  STDMETHODIMP put_FirewallPort(LONG value) override;
  STDMETHODIMP get_FirewallType(::TFirewallType* value) override;
  STDMETHODIMP put_FirewallType(::TFirewallType value) override;
  STDMETHODIMP get_FirewallUser(BSTR* value) override;
  STDMETHODIMP put_FirewallUser(BSTR value) override;
  STDMETHODIMP get_KeepAlive(VARIANT_BOOL* value) override;
  STDMETHODIMP put_KeepAlive(VARIANT_BOOL value) override;
  STDMETHODIMP get_Linger(VARIANT_BOOL* value) override;
  STDMETHODIMP put_Linger(VARIANT_BOOL value) override;
  STDMETHODIMP get_LocalHost(BSTR* value) override;
  STDMETHODIMP put_LocalHost(BSTR value) override;
  STDMETHODIMP get_LocalPort(LONG* value) override;
  STDMETHODIMP put_LocalPort(LONG value) override;
  STDMETHODIMP get_RemoteHost(BSTR* value) override;
  STDMETHODIMP put_RemoteHost(BSTR value) override;
  STDMETHODIMP get_RemotePort(LONG* value) override;
  STDMETHODIMP put_RemotePort(LONG value) override;
  STDMETHODIMP get_SingleLineMode(VARIANT_BOOL* value) override;
  STDMETHODIMP put_SingleLineMode(VARIANT_BOOL value) override;
  STDMETHODIMP get_Timeout(short* value) override;
  STDMETHODIMP put_Timeout(short value) override;
  STDMETHODIMP put_DataToSendB(VARIANT value) override;
  STDMETHODIMP get_EOLB(VARIANT* value) override;
  STDMETHODIMP put_EOLB(VARIANT value) override;
  STDMETHODIMP get_DataInTextB(VARIANT* value) override;
  STDMETHODIMP Config(BSTR configurationString, BSTR* result) override;
  STDMETHODIMP Connect(BSTR host, LONG port) override;
  STDMETHODIMP Disconnect() override;
  STDMETHODIMP DoEvents() override;
  STDMETHODIMP GetLine(BSTR* line) override;
  STDMETHODIMP Send(BSTR text) override;
  STDMETHODIMP SendLine(BSTR text) override;

  // IConnectionPointContainer
  STDMETHODIMP EnumConnectionPoints(IEnumConnectionPoints** points) override;
  STDMETHODIMP FindConnectionPoint(REFIID iid, ::IConnectionPoint** point) override;

  // IConnectionPoint (the one point, for _IWireletEvents)
  STDMETHODIMP GetConnectionInterface(IID* iid) override;
  STDMETHODIMP GetConnectionPointContainer(IConnectionPointContainer** container) override;
  STDMETHODIMP Advise(IUnknown* sink, DWORD* cookie) override;
  STDMETHODIMP Unadvise(DWORD cookie) override;
  STDMETHODIMP EnumConnections(IEnumConnections** connections) override;

  // IProvideClassInfo2
  STDMETHODIMP GetClassInfo(ITypeInfo** info) override;
  STDMETHODIMP GetGUID(DWORD kind, GUID* guid) override;

  // IPersistPropertyBag, IPersistStreamInit and IPersistStorage: the
  // persisted properties, as a container's form keeps them. The stream holds
  // the block PropertyStream.h lays out; a storage holds it as its
  // "Contents" stream. InitNew restores the values of a new control. The
  // object is dirty while its persisted properties differ from those last
  // loaded, saved with clearDirty, or set by InitNew.
  STDMETHODIMP GetClassID(CLSID* clsid) override;
  STDMETHODIMP InitNew() override;
  STDMETHODIMP Load(IPropertyBag* bag, IErrorLog* log) override;
  STDMETHODIMP Save(IPropertyBag* bag, BOOL clearDirty, BOOL saveAll) override;
  STDMETHODIMP IsDirty() override;
  STDMETHODIMP Load(IStream* stream) override;
  STDMETHODIMP Save(IStream* stream, BOOL clearDirty) override;
  STDMETHODIMP GetSizeMax(ULARGE_INTEGER* size) override;
  STDMETHODIMP InitNew(IStorage* storage) override;
  STDMETHODIMP Load(IStorage* storage) override;
  STDMETHODIMP Save(IStorage* storage, BOOL sameAsLoad) override;
  STDMETHODIMP SaveCompleted(IStorage* storage) override;
  STDMETHODIMP HandsOffStorage() override;

  // ISupportErrorInfo
  STDMETHODIMP InterfaceSupportsErrorInfo(REFIID iid) override;

 private:
  ComWirelet();
  ~ComWirelet();

  // Hands the shared control's error information on as the system's, and
  // runs store (which writes the out value) only on success.
  template <typename Store>
  HRESULT Finish(HResult hr, Store store);
  HRESULT Finish(HResult hr);
  HRESULT TypeInfoOf(REFGUID guid, ITypeInfo** info);
  // The persisted properties as the stream block.
  HRESULT PersistedBlock(std::vector<uint8_t>* block);
  // Marks the current properties as the saved ones.
  void MarkClean();
  void FireToSinks(DispId id, std::span<Variant> args);

  ULONG refs_ = 1;
  torvane::Wirelet* control_ = nullptr;
  torvane::IDispatch* eventSink_ = nullptr;
  uint32_t eventCookie_ = 0;
  ITypeLib* typeLib_ = nullptr;
  std::vector<std::pair<DWORD, ::IDispatch*>> sinks_;
  DWORD nextCookie_ = 1;
  std::vector<uint8_t> newBlock_;    // the properties of a new control
  std::vector<uint8_t> cleanBlock_;  // the properties last saved or loaded
};

}  // namespace torvane

#endif  // TORVANE_WIRELET_WIN32_COMWIRELET_H_
