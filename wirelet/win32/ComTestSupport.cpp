#include "ComTestSupport.h"

#include <oleauto.h>

#include <cstdio>

#include "ComVariant.h"
#include "Wirelet_h.h"

namespace torvane {

bool PumpUntil(const std::function<bool()>& done, int ms) {
  const DWORD end = GetTickCount() + static_cast<DWORD>(ms);
  while (!done()) {
    const int left = static_cast<int>(end - GetTickCount());
    if (left <= 0) return done();
    MSG message;
    if (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&message);
      DispatchMessageA(&message);
      continue;
    }
    MsgWaitForMultipleObjects(0, nullptr, FALSE, static_cast<DWORD>(left < 20 ? left : 20),
                              QS_ALLINPUT);
  }
  return true;
}

STDMETHODIMP RecordingSink::QueryInterface(REFIID iid, void** out) {
  if (out == nullptr) return E_POINTER;
  if (iid == IID_IUnknown || iid == IID_IDispatch || iid == DIID__IWireletEvents) {
    *out = static_cast<::IDispatch*>(this);
    AddRef();
    return S_OK;
  }
  *out = nullptr;
  return E_NOINTERFACE;
}

STDMETHODIMP RecordingSink::GetTypeInfoCount(UINT* count) {
  *count = 0;
  return S_OK;
}

STDMETHODIMP RecordingSink::Invoke(DISPID id, REFIID, LCID, WORD flag, DISPPARAMS* params,
                                   VARIANT*, EXCEPINFO*, UINT*) {
  RecordedEvent event{id, {}};
  for (UINT i = params->cArgs; i-- > 0;) {
    const VARIANT& arg = params->rgvarg[i];
    char type[8];
    std::snprintf(type, sizeof type, "%X:", static_cast<unsigned>(V_VT(&arg)));
    std::string text = type;
    switch (V_VT(&arg)) {
      case VT_BYREF | VT_BSTR:
        text += Utf8FromBstr(*V_BSTRREF(&arg));
        break;
      case VT_BYREF | VT_I2:
        text += std::to_string(*V_I2REF(&arg));
        break;
      case VT_BYREF | VT_BOOL:
        text += *V_BOOLREF(&arg) != VARIANT_FALSE ? "True" : "False";
        break;
      default:
        text += "?";
        break;
    }
    event.args.push_back(text);
  }
  events.push_back(event);
  flags.push_back(flag);
  return S_OK;
}

}  // namespace torvane
