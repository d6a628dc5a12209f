// wirelet61.dll as Windows' own COM clients see it, once regsvr32 has
// registered it: its type library against the member table every build
// shares, the dual interface with error information, the class factory and
// module entry points, its resources, and events on an advised sink.
// The socket engine's headers bring winsock2.h, which must come before windows.h.
#include <winsock2.h>
#include <objbase.h>
#include <ocidl.h>
#include <olectl.h>
#include <windows.h>

#include <gtest/gtest.h>

#include <map>
#include <set>
#include <string>

#include "ComTestSupport.h"
#include "ComVariant.h"
#include "LoopbackServer.h"
#include "WireletTypeLib.h"
#include "Wirelet_h.h"

namespace torvane {
namespace {

std::wstring ModulePath() {
  wchar_t path[MAX_PATH];
  DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
  std::wstring folder(path, length);
  return folder.substr(0, folder.find_last_of(L"\\/") + 1) + L"wirelet61.dll";
}

std::string Name(BSTR text) {
  std::string utf8 = Utf8FromBstr(text);
  SysFreeString(text);
  return utf8;
}

// A container's property bag, in memory.
class MemoryBag final : public IPropertyBag {
 public:
  ~MemoryBag() {
    for (auto& [name, value] : values) VariantClear(&value);
  }
  STDMETHODIMP QueryInterface(REFIID iid, void** out) override {
    if (iid == IID_IUnknown || iid == IID_IPropertyBag) {
      *out = static_cast<IPropertyBag*>(this);
      return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
  }
  STDMETHODIMP_(ULONG) AddRef() override { return 2; }
  STDMETHODIMP_(ULONG) Release() override { return 1; }
  STDMETHODIMP Read(LPCOLESTR name, VARIANT* value, IErrorLog*) override {
    auto found = values.find(name);
    if (found == values.end()) return E_INVALIDARG;
    VariantInit(value);
    return VariantCopy(value, &found->second);
  }
  STDMETHODIMP Write(LPCOLESTR name, VARIANT* value) override {
    VARIANT& slot = values[name];
    VariantClear(&slot);
    return VariantCopy(&slot, value);
  }
  std::map<std::wstring, VARIANT> values;
};

class ComWireletTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)));
    CLSID clsid;
    ASSERT_EQ(CLSIDFromProgID(L"Wirekit.Wirelet", &clsid), S_OK) << "is the control registered?";
    EXPECT_TRUE(IsEqualGUID(clsid, CLSID_Wirelet));
    ASSERT_EQ(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IWirelet,
                               reinterpret_cast<void**>(&control_)),
              S_OK);
  }
  void TearDown() override {
    if (control_ != nullptr) control_->Release();
    CoUninitialize();
  }

  // The error information the last failing call left.
  std::map<std::string, std::string> LastError() {
    std::map<std::string, std::string> out;
    ::IErrorInfo* info = nullptr;
    if (::GetErrorInfo(0, &info) != S_OK || info == nullptr) return out;
    BSTR text = nullptr;
    info->GetDescription(&text);
    out["description"] = Name(text);
    info->GetSource(&text);
    out["source"] = Name(text);
    info->GetHelpFile(&text);
    out["helpFile"] = Name(text);
    DWORD context = 0;
    info->GetHelpContext(&context);
    out["helpContext"] = std::to_string(context);
    info->Release();
    return out;
  }

  ::IWirelet* control_ = nullptr;
};

TEST_F(ComWireletTest, TypeLibraryDescribesTheMemberTable) {
  ITypeLib* library = nullptr;
  ASSERT_EQ(LoadTypeLibEx(ModulePath().c_str(), REGKIND_NONE, &library), S_OK);
  TLIBATTR* attributes = nullptr;
  ASSERT_EQ(library->GetLibAttr(&attributes), S_OK);
  EXPECT_EQ(attributes->lcid, 0x409u);
  EXPECT_EQ(attributes->wMajorVerNum, 1);
  EXPECT_EQ(attributes->wMinorVerNum, 0);
  EXPECT_TRUE(IsEqualGUID(attributes->guid, LIBID_WIRELETLib));
  library->ReleaseTLibAttr(attributes);
  BSTR libraryName = nullptr;
  library->GetDocumentation(-1, &libraryName, nullptr, nullptr, nullptr);
  EXPECT_EQ(Name(libraryName), "WIRELETLib");

  // Four type infos: the class, the dual interface, the events, the enumeration.
  std::map<std::string, TYPEKIND> kinds;
  for (UINT i = 0; i < library->GetTypeInfoCount(); ++i) {
    BSTR name = nullptr;
    TYPEKIND kind;
    library->GetDocumentation(static_cast<INT>(i), &name, nullptr, nullptr, nullptr);
    library->GetTypeInfoType(i, &kind);
    kinds[Name(name)] = kind;
  }
  EXPECT_EQ(kinds, (std::map<std::string, TYPEKIND>{{"Wirelet", TKIND_COCLASS},
                                                    {"IWirelet", TKIND_DISPATCH},
                                                    {"_IWireletEvents", TKIND_DISPATCH},
                                                    {"TFirewallType", TKIND_ENUM}}));

  ITypeInfo* dual = nullptr;
  ASSERT_EQ(library->GetTypeInfoOfGuid(IID_IWirelet, &dual), S_OK);
  // The vtable half of the dual interface: members in table order, get before put.
  HREFTYPE vtableRef = 0;
  ITypeInfo* vtable = nullptr;
  ASSERT_EQ(dual->GetRefTypeOfImplType(static_cast<UINT>(-1), &vtableRef), S_OK);
  ASSERT_EQ(dual->GetRefTypeInfo(vtableRef, &vtable), S_OK);
  ITypeInfo* events = nullptr;
  ASSERT_EQ(library->GetTypeInfoOfGuid(DIID__IWireletEvents, &events), S_OK);

  struct Found {
    std::set<INVOKEKIND> kinds;
    SHORT parameters = -1;  // without the retval
    SHORT firstSlot = SHRT_MAX;
  };
  auto collect = [](ITypeInfo* info) {
    std::map<MEMBERID, Found> found;
    TYPEATTR* type = nullptr;
    info->GetTypeAttr(&type);
    for (UINT i = 0; i < type->cFuncs; ++i) {
      FUNCDESC* f = nullptr;
      info->GetFuncDesc(i, &f);
      Found& entry = found[f->memid];
      entry.kinds.insert(f->invkind);
      SHORT parameters = f->cParams;
      if (f->cParams > 0 &&
          (f->lprgelemdescParam[f->cParams - 1].paramdesc.wParamFlags & PARAMFLAG_FRETVAL) != 0) {
        --parameters;
      }
      if (f->invkind != INVOKE_PROPERTYPUT) entry.parameters = parameters;
      entry.firstSlot = std::min<SHORT>(entry.firstSlot, f->oVft);
      info->ReleaseFuncDesc(f);
    }
    info->ReleaseTypeAttr(type);
    return found;
  };
  std::map<MEMBERID, Found> interfaceMembers = collect(vtable);
  std::map<MEMBERID, Found> eventMembers = collect(events);

  SHORT lastSlot = -1;
  for (const WireletMember& member : WireletMembers()) {
    SCOPED_TRACE(member.name);
    const bool isEvent = member.kind == WireletMember::kEvent;
    ITypeInfo* info = isEvent ? events : vtable;
    std::map<MEMBERID, Found>& table = isEvent ? eventMembers : interfaceMembers;
    ASSERT_EQ(table.count(member.id), 1u);
    const Found& found = table[member.id];

    BSTR name = nullptr;
    BSTR help = nullptr;
    DWORD context = 0;
    ASSERT_EQ(info->GetDocumentation(member.id, &name, &help, &context, nullptr), S_OK);
    EXPECT_EQ(Name(name), member.name);
    EXPECT_EQ(Name(help), member.helpString);
    EXPECT_EQ(context, member.helpContext);

    if (member.kind == WireletMember::kProperty) {
      EXPECT_EQ(found.kinds.count(INVOKE_PROPERTYGET) == 1, (member.access & WireletMember::kRead) != 0);
      EXPECT_EQ(found.kinds.count(INVOKE_PROPERTYPUT) == 1, (member.access & WireletMember::kWrite) != 0);
    } else {
      EXPECT_EQ(found.kinds, std::set<INVOKEKIND>{INVOKE_FUNC});
      EXPECT_EQ(found.parameters, static_cast<SHORT>(member.arguments.size()));
    }
    if (!isEvent) {
      EXPECT_GT(found.firstSlot, lastSlot) << "vtable order";
      lastSlot = found.firstSlot;
    }
  }
  EXPECT_EQ(interfaceMembers.size() + eventMembers.size(), WireletMembers().size());

  // The enumeration's values.
  ITypeInfo* firewall = nullptr;
  for (UINT i = 0; i < library->GetTypeInfoCount(); ++i) {
    TYPEKIND kind;
    library->GetTypeInfoType(i, &kind);
    if (kind == TKIND_ENUM) library->GetTypeInfo(i, &firewall);
  }
  ASSERT_NE(firewall, nullptr);
  std::map<std::string, LONG> values;
  TYPEATTR* type = nullptr;
  firewall->GetTypeAttr(&type);
  for (UINT i = 0; i < type->cVars; ++i) {
    VARDESC* v = nullptr;
    firewall->GetVarDesc(i, &v);
    BSTR name = nullptr;
    firewall->GetDocumentation(v->memid, &name, nullptr, nullptr, nullptr);
    values[Name(name)] = V_I4(v->lpvarValue);
    firewall->ReleaseVarDesc(v);
  }
  firewall->ReleaseTypeAttr(type);
  EXPECT_EQ(values, (std::map<std::string, LONG>{
                        {"fwNone", 0}, {"fwTunnel", 1}, {"fwSOCKS4", 2}, {"fwSOCKS5", 3}}));
  firewall->Release();
  events->Release();
  vtable->Release();
  dual->Release();
  library->Release();
}

TEST_F(ComWireletTest, VtableCallsReportErrorsThroughErrorInfo) {
  LONG port = 0;
  EXPECT_EQ(control_->get_FirewallPort(&port), S_OK);
  EXPECT_EQ(port, 80);
  EXPECT_EQ(control_->put_FirewallType(static_cast<::TFirewallType>(4)),
            static_cast<HRESULT>(0x800A017C));
  EXPECT_EQ(LastError(), (std::map<std::string, std::string>{{"description", "Value is out of range."},
                                                               {"source", "Wirekit.Wirelet.1"},
                                                               {"helpFile", "wirelet61.hlp"},
                                                               {"helpContext", "21109"}}));
  ::TFirewallType type = ::fwTunnel;
  EXPECT_EQ(control_->get_FirewallType(&type), S_OK);
  EXPECT_EQ(type, ::fwNone);
  EXPECT_EQ(control_->put_FirewallType(::fwSOCKS5), S_OK);
  EXPECT_EQ(control_->get_FirewallPort(&port), S_OK);
  EXPECT_EQ(port, 1080);

  BSTR setting = SysAllocString(L"maxlinelength");
  BSTR value = nullptr;
  EXPECT_EQ(control_->Config(setting, &value), S_OK);
  EXPECT_EQ(Name(value), "2048");
  SysFreeString(setting);
  setting = SysAllocString(L"NoSuchSetting");
  value = nullptr;
  EXPECT_EQ(control_->Config(setting, &value), static_cast<HRESULT>(0x800A4E20));
  EXPECT_EQ(LastError()["description"], "Unknown config setting.");
  EXPECT_EQ(LastError()["helpContext"], "") << "GetErrorInfo hands the error over once";
  SysFreeString(setting);

  BSTR text = SysAllocString(L"x");
  EXPECT_EQ(control_->Send(text), static_cast<HRESULT>(0x800A0000 | (10057 + 15001)));
  EXPECT_EQ(LastError()["helpContext"], "41106");
  SysFreeString(text);

  ISupportErrorInfo* support = nullptr;
  ASSERT_EQ(control_->QueryInterface(IID_ISupportErrorInfo, reinterpret_cast<void**>(&support)),
            S_OK);
  EXPECT_EQ(support->InterfaceSupportsErrorInfo(IID_IWirelet), S_OK);
  support->Release();
}

TEST_F(ComWireletTest, InvokeFillsExcepInfoForLateBoundCallers) {
  struct Case {
    DISPID id;
    WORD flags;
    HRESULT scode;
    const char* description;
    DWORD helpContext;
  };
  const Case cases[] = {
      {4, DISPATCH_PROPERTYGET, static_cast<HRESULT>(0x800A018A), "Property is write-only.", 21104},
      {2, DISPATCH_PROPERTYPUT, static_cast<HRESULT>(0x800A017F), "Property is read-only.", 21102},
      {505, DISPATCH_METHOD, static_cast<HRESULT>(0x800A0000 | (301 + 20001)), "Disconnected.",
       41105},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.id);
    VARIANT arg;
    VariantInit(&arg);
    V_VT(&arg) = VT_I4;
    V_I4(&arg) = 5;
    DISPID put = DISPID_PROPERTYPUT;
    DISPPARAMS params{};
    if (c.flags == DISPATCH_PROPERTYPUT) params = DISPPARAMS{&arg, &put, 1, 1};
    VARIANT result;
    VariantInit(&result);
    EXCEPINFO excep{};
    EXPECT_EQ(control_->Invoke(c.id, IID_NULL, 0, c.flags, &params, &result, &excep, nullptr),
              DISP_E_EXCEPTION);
    EXPECT_EQ(excep.scode, c.scode);
    EXPECT_EQ(Name(excep.bstrDescription), c.description);
    EXPECT_EQ(Name(excep.bstrSource), "Wirekit.Wirelet.1");
    EXPECT_EQ(excep.dwHelpContext, c.helpContext);
    SysFreeString(excep.bstrHelpFile);
  }

  // Names are found without regard to case; a script's double is taken as a Long.
  LPOLESTR name = const_cast<LPOLESTR>(L"remoteport");
  DISPID id = 0;
  ASSERT_EQ(control_->GetIDsOfNames(IID_NULL, &name, 1, 0, &id), S_OK);
  EXPECT_EQ(id, 16);
  VARIANT port;
  VariantInit(&port);
  V_VT(&port) = VT_R8;
  V_R8(&port) = 5000.0;
  DISPID put = DISPID_PROPERTYPUT;
  DISPPARAMS params{&port, &put, 1, 1};
  EXPECT_EQ(control_->Invoke(16, IID_NULL, 0, DISPATCH_PROPERTYPUT, &params, nullptr, nullptr,
                             nullptr),
            S_OK);
  LONG value = 0;
  control_->get_RemotePort(&value);
  EXPECT_EQ(value, 5000);
}

TEST_F(ComWireletTest, EventsReachAnAdvisedSinkByReference) {
  IConnectionPointContainer* container = nullptr;
  ASSERT_EQ(control_->QueryInterface(IID_IConnectionPointContainer,
                                     reinterpret_cast<void**>(&container)),
            S_OK);
  ::IConnectionPoint* point = nullptr;
  ASSERT_EQ(container->FindConnectionPoint(DIID__IWireletEvents, &point), S_OK);
  container->Release();
  RecordingSink sink;
  DWORD cookie = 0;
  ASSERT_EQ(point->Advise(&sink, &cookie), S_OK);

  auto fired = [&](DISPID id) {
    return [&sink, id] {
      for (const RecordedEvent& e : sink.events) {
        if (e.id == id) return true;
      }
      return false;
    };
  };
  testing::Signal dataSeen;
  testing::LoopbackServer peer([&](testing::Peer& client) {
    client.Send("AB");
    dataSeen.Wait();
    client.Close();
  });
  BSTR host = SysAllocString(L"127.0.0.1");
  ASSERT_EQ(control_->Connect(host, peer.Port()), S_OK);
  ASSERT_TRUE(PumpUntil(fired(1), 5000));
  ASSERT_TRUE(PumpUntil(fired(3), 5000));
  dataSeen.Notify();
  ASSERT_TRUE(PumpUntil(fired(4), 5000));
  PumpUntil([] { return false; }, 100);

  std::vector<std::pair<DISPID, std::vector<std::string>>> seen;
  for (const RecordedEvent& e : sink.events) {
    if (e.id != 6) seen.emplace_back(e.id, e.args);  // ReadyToSend comes when it comes
  }
  using Args = std::vector<std::string>;
  const std::vector<std::pair<DISPID, Args>> expected = {
      {2, Args{"4008:Remote host connection complete.", "4002:0", "4008:OK"}},
      {1, Args{"4002:0", "4008:OK"}},
      {3, Args{"4008:AB", "400B:True"}},
      {2, Args{"4008:Remote host disconnected.", "4002:0", "4008:OK"}},
      {4, Args{"4002:0", "4008:OK"}},
  };
  EXPECT_EQ(seen, expected);
  for (WORD flag : sink.flags) EXPECT_EQ(flag, DISPATCH_METHOD);

  // A refused connect reports itself through Connected.
  sink.events.clear();
  ASSERT_EQ(control_->Connect(host, testing::UnusedLoopbackPort()), S_OK);
  ASSERT_TRUE(PumpUntil(fired(1), 5000));
  for (const RecordedEvent& e : sink.events) {
    if (e.id == 1) {
      EXPECT_EQ(e.args, (Args{"4002:10061", "4008:[10061] Connection refused"}));
    }
  }
  SysFreeString(host);

  EXPECT_EQ(point->Unadvise(cookie), S_OK);
  EXPECT_EQ(point->Unadvise(cookie), CONNECT_E_NOCONNECTION);
  point->Release();
}

TEST_F(ComWireletTest, PersistedPropertiesTravelThroughTheContainersBag) {
  BSTR host = SysAllocString(L"timing.local");
  ASSERT_EQ(control_->put_FirewallType(::fwSOCKS4), S_OK);
  ASSERT_EQ(control_->put_RemoteHost(host), S_OK);  // stored unresolved behind a firewall
  ASSERT_EQ(control_->put_RemotePort(5000), S_OK);
  ASSERT_EQ(control_->put_Timeout(7), S_OK);
  ASSERT_EQ(control_->put_Linger(VARIANT_FALSE), S_OK);
  SysFreeString(host);
  ::IPersistPropertyBag* persist = nullptr;
  ASSERT_EQ(control_->QueryInterface(IID_IPersistPropertyBag, reinterpret_cast<void**>(&persist)),
            S_OK);
  CLSID clsid;
  EXPECT_EQ(persist->GetClassID(&clsid), S_OK);
  EXPECT_TRUE(IsEqualGUID(clsid, CLSID_Wirelet));
  MemoryBag bag;
  ASSERT_EQ(persist->Save(&bag, TRUE, TRUE), S_OK);
  persist->Release();
  std::set<std::wstring> names;
  for (const auto& [name, value] : bag.values) names.insert(name);
  EXPECT_EQ(names, (std::set<std::wstring>{L"Timeout", L"RemotePort", L"RemoteHost", L"LocalPort",
                                           L"Linger", L"KeepAlive", L"FirewallUser",
                                           L"FirewallType", L"FirewallPort",
                                           L"FirewallPassword", L"FirewallHost"}));

  ::IWirelet* restored = nullptr;
  ASSERT_EQ(CoCreateInstance(CLSID_Wirelet, nullptr, CLSCTX_INPROC_SERVER, IID_IWirelet,
                             reinterpret_cast<void**>(&restored)),
            S_OK);
  ASSERT_EQ(restored->QueryInterface(IID_IPersistPropertyBag, reinterpret_cast<void**>(&persist)),
            S_OK);
  EXPECT_EQ(persist->Load(&bag, nullptr), S_OK);
  persist->Release();
  BSTR text = nullptr;
  LONG port = 0;
  ::TFirewallType type = ::fwNone;
  short seconds = 0;
  VARIANT_BOOL linger = VARIANT_TRUE;
  EXPECT_EQ(restored->get_RemoteHost(&text), S_OK);
  EXPECT_EQ(Name(text), "timing.local");
  restored->get_RemotePort(&port);
  EXPECT_EQ(port, 5000);
  restored->get_FirewallType(&type);
  EXPECT_EQ(type, ::fwSOCKS4);
  restored->get_FirewallPort(&port);
  EXPECT_EQ(port, 1080);
  restored->get_Timeout(&seconds);
  EXPECT_EQ(seconds, 7);
  restored->get_Linger(&linger);
  EXPECT_EQ(linger, VARIANT_FALSE);
  restored->Release();
}

TEST_F(ComWireletTest, ModuleEntryPointsAndClassFactory) {
  HMODULE module = GetModuleHandleW(L"wirelet61.dll");
  ASSERT_NE(module, nullptr);
  using GetClassObject = HRESULT(STDAPICALLTYPE*)(REFCLSID, REFIID, LPVOID*);
  using CanUnloadNow = HRESULT(STDAPICALLTYPE*)();
  auto getClassObject = reinterpret_cast<GetClassObject>(
      reinterpret_cast<void*>(GetProcAddress(module, "DllGetClassObject")));
  auto canUnloadNow = reinterpret_cast<CanUnloadNow>(
      reinterpret_cast<void*>(GetProcAddress(module, "DllCanUnloadNow")));
  ASSERT_NE(getClassObject, nullptr);
  ASSERT_NE(canUnloadNow, nullptr);
  EXPECT_NE(GetProcAddress(module, "DllRegisterServer"), nullptr);
  EXPECT_NE(GetProcAddress(module, "DllUnregisterServer"), nullptr);

  ::IClassFactory* factory = nullptr;
  EXPECT_EQ(getClassObject(IID_IWirelet, IID_IClassFactory, reinterpret_cast<void**>(&factory)),
            CLASS_E_CLASSNOTAVAILABLE);
  EXPECT_EQ(getClassObject(CLSID_Wirelet, IID_IClassFactory, nullptr), E_POINTER);
  ASSERT_EQ(getClassObject(CLSID_Wirelet, IID_IClassFactory, reinterpret_cast<void**>(&factory)),
            S_OK);
  ::IUnknown* object = nullptr;
  EXPECT_EQ(factory->CreateInstance(control_, IID_IUnknown, reinterpret_cast<void**>(&object)),
            CLASS_E_NOAGGREGATION);

  EXPECT_EQ(canUnloadNow(), S_FALSE) << "the fixture's control is alive";
  control_->Release();
  control_ = nullptr;
  EXPECT_EQ(canUnloadNow(), S_OK);
  factory->LockServer(TRUE);
  EXPECT_EQ(canUnloadNow(), S_FALSE);
  factory->LockServer(FALSE);
  EXPECT_EQ(canUnloadNow(), S_OK);
  factory->Release();
}

TEST_F(ComWireletTest, ModuleCarriesItsResourcesAndSocketWindowClass) {
  HMODULE module = GetModuleHandleW(L"wirelet61.dll");
  ASSERT_NE(module, nullptr);
  EXPECT_NE(FindResourceA(module, MAKEINTRESOURCEA(1), "TYPELIB"), nullptr);
  HRSRC script = FindResourceA(module, MAKEINTRESOURCEA(102), "REGISTRY");
  ASSERT_NE(script, nullptr);
  std::string text(static_cast<const char*>(LockResource(LoadResource(module, script))),
                   SizeofResource(module, script));
  EXPECT_EQ(text.rfind("HKCR", 0), 0u);
  EXPECT_NE(text.find("ForceRemove '%CLSID%'"), std::string::npos);

  HBITMAP bitmap = static_cast<HBITMAP>(LoadImageA(module, MAKEINTRESOURCEA(101), IMAGE_BITMAP, 0,
                                                   0, LR_DEFAULTCOLOR));
  ASSERT_NE(bitmap, nullptr);
  BITMAP size{};
  GetObjectA(bitmap, sizeof size, &size);
  EXPECT_EQ(size.bmWidth, 16);
  EXPECT_EQ(size.bmHeight, 15);
  DeleteObject(bitmap);

  WNDCLASSEXA socketClass{};
  socketClass.cbSize = sizeof socketClass;
  ASSERT_TRUE(GetClassInfoExA(module, "__wlt_socket_wnd__", &socketClass));
  EXPECT_EQ(socketClass.style & CS_GLOBALCLASS, static_cast<UINT>(CS_GLOBALCLASS));
  EXPECT_EQ(socketClass.cbWndExtra, 12);
}

}  // namespace
}  // namespace torvane
