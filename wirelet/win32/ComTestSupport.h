// What the Windows tests of the control share: the thread's apartment, a
// message pump, and an event sink that records what the control fires.
#ifndef TORVANE_WIRELET_WIN32_COMTESTSUPPORT_H_
#define TORVANE_WIRELET_WIN32_COMTESTSUPPORT_H_

#include <oaidl.h>
#include <windows.h>

#include <functional>
#include <string>
#include <vector>

namespace torvane {

// Dispatches the thread's messages until done() holds or ms pass; returns done().
bool PumpUntil(const std::function<bool()>& done, int ms);

// One event as the sink saw it: its DISPID and each argument, first to last,
// as "type:value" (type being the VARTYPE in hex, e.g. "4008:True").
struct RecordedEvent {
  DISPID id;
  std::vector<std::string> args;
};

class RecordingSink final : public ::IDispatch {
 public:
  STDMETHODIMP QueryInterface(REFIID iid, void** out) override;
  STDMETHODIMP_(ULONG) AddRef() override { return ++refs_; }
  STDMETHODIMP_(ULONG) Release() override { return --refs_; }  // lives on the test's stack
  STDMETHODIMP GetTypeInfoCount(UINT* count) override;
  STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
  STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override {
    return DISP_E_UNKNOWNNAME;
  }
  STDMETHODIMP Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params, VARIANT*,
                      EXCEPINFO*, UINT*) override;

  std::vector<RecordedEvent> events;
  std::vector<WORD> flags;

 private:
  ULONG refs_ = 1;
};

}  // namespace torvane

#endif  // TORVANE_WIRELET_WIN32_COMTESTSUPPORT_H_
