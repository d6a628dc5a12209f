// wirelet61.dll kept by a container in a stream, in a storage's "Contents"
// stream, and through OleSaveToStream / OleLoadFromStream: saved from one
// control, loaded into another, every persisted property compared; broken
// streams refused without touching the control; IsDirty, GetSizeMax and
// InitNew.
// The socket engine's headers bring winsock2.h, which must come before windows.h.
#include <winsock2.h>

#include <objbase.h>
#include <ocidl.h>
#include <ole2.h>
#include <windows.h>

#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "ComVariant.h"
#include "Wirelet_h.h"

namespace torvane {
namespace {

using Values = std::map<std::string, std::string>;

const wchar_t* const kPersisted[] = {L"Timeout",          L"RemotePort",   L"RemoteHost",
                                     L"LocalPort",        L"Linger",       L"KeepAlive",
                                     L"FirewallUser",     L"FirewallType", L"FirewallPort",
                                     L"FirewallPassword", L"FirewallHost"};

// Every persisted property, read late bound and shown as text.
Values PersistedValues(::IWirelet* control) {
  Values out;
  for (const wchar_t* name : kPersisted) {
    DISPID id = DISPID_UNKNOWN;
    LPOLESTR names = const_cast<LPOLESTR>(name);
    EXPECT_EQ(control->GetIDsOfNames(IID_NULL, &names, 1, 0, &id), S_OK);
    DISPPARAMS none{};
    VARIANT value;
    VariantInit(&value);
    EXPECT_EQ(
        control->Invoke(id, IID_NULL, 0, DISPATCH_PROPERTYGET, &none, &value, nullptr, nullptr),
        S_OK);
    EXPECT_EQ(VariantChangeType(&value, &value, VARIANT_ALPHABOOL, VT_BSTR), S_OK);
    out[Utf8FromWide(name, wcslen(name))] = Utf8FromBstr(V_BSTR(&value));
    VariantClear(&value);
  }
  return out;
}

// A control whose every persisted property differs from a new one's.
const Values kChanged = {{"Timeout", "9"},
                         {"RemotePort", "5000"},
                         {"RemoteHost", "timing.local"},
                         {"LocalPort", "5001"},
                         {"Linger", "False"},
                         {"KeepAlive", "True"},
                         {"FirewallUser", "Zo\xC3\xAB"},
                         {"FirewallType", "3"},
                         {"FirewallPort", "1085"},
                         {"FirewallPassword", "pw"},
                         {"FirewallHost", "127.0.0.2"}};

const Values kNew = {{"Timeout", "0"},         {"RemotePort", "0"},   {"RemoteHost", ""},
                     {"LocalPort", "0"},       {"Linger", "True"},    {"KeepAlive", "False"},
                     {"FirewallUser", ""},     {"FirewallType", "0"}, {"FirewallPort", "80"},
                     {"FirewallPassword", ""}, {"FirewallHost", ""}};

class ComWireletPersistTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)));
    control_ = NewControl();
    ASSERT_NE(control_, nullptr);
  }
  void TearDown() override {
    if (control_ != nullptr) control_->Release();
    CoUninitialize();
  }

  static ::IWirelet* NewControl() {
    ::IWirelet* control = nullptr;
    EXPECT_EQ(CoCreateInstance(CLSID_Wirelet, nullptr, CLSCTX_INPROC_SERVER, IID_IWirelet,
                               reinterpret_cast<void**>(&control)),
              S_OK)
        << "is the control registered?";
    return control;
  }

  template <typename Interface>
  static Interface* As(IUnknown* object, REFIID iid) {
    Interface* out = nullptr;
    EXPECT_EQ(object->QueryInterface(iid, reinterpret_cast<void**>(&out)), S_OK);
    return out;
  }

  static void Change(::IWirelet* control) {
    BSTR text = SysAllocString(L"timing.local");
    ASSERT_EQ(control->put_FirewallType(::fwSOCKS5), S_OK);  // RemoteHost stays unresolved
    ASSERT_EQ(control->put_RemoteHost(text), S_OK);
    SysFreeString(text);
    ASSERT_EQ(control->put_RemotePort(5000), S_OK);
    ASSERT_EQ(control->put_LocalPort(5001), S_OK);
    ASSERT_EQ(control->put_Timeout(9), S_OK);
    ASSERT_EQ(control->put_Linger(VARIANT_FALSE), S_OK);
    ASSERT_EQ(control->put_KeepAlive(VARIANT_TRUE), S_OK);
    text = SysAllocString(L"Zo\u00EB");
    ASSERT_EQ(control->put_FirewallUser(text), S_OK);
    SysFreeString(text);
    text = SysAllocString(L"pw");
    ASSERT_EQ(control->put_FirewallPassword(text), S_OK);
    SysFreeString(text);
    text = SysAllocString(L"127.0.0.2");
    ASSERT_EQ(control->put_FirewallHost(text), S_OK);
    SysFreeString(text);
    ASSERT_EQ(control->put_FirewallPort(1085), S_OK);
    ASSERT_EQ(PersistedValues(control), kChanged);
  }

  // The bytes a control saved into a new memory stream.
  static std::vector<uint8_t> SavedBytes(::IWirelet* control) {
    IStream* stream = nullptr;
    EXPECT_EQ(CreateStreamOnHGlobal(nullptr, TRUE, &stream), S_OK);
    IPersistStreamInit* persist = As<IPersistStreamInit>(control, IID_IPersistStreamInit);
    if (persist == nullptr) {
      stream->Release();
      return {};
    }
    EXPECT_EQ(persist->Save(stream, FALSE), S_OK);
    persist->Release();
    STATSTG stat{};
    stream->Stat(&stat, STATFLAG_NONAME);
    std::vector<uint8_t> bytes(stat.cbSize.QuadPart);
    LARGE_INTEGER start{};
    stream->Seek(start, STREAM_SEEK_SET, nullptr);
    ULONG read = 0;
    stream->Read(bytes.data(), static_cast<ULONG>(bytes.size()), &read);
    EXPECT_EQ(read, bytes.size());
    stream->Release();
    return bytes;
  }

  static IStream* StreamOf(const std::vector<uint8_t>& bytes) {
    IStream* stream = nullptr;
    EXPECT_EQ(CreateStreamOnHGlobal(nullptr, TRUE, &stream), S_OK);
    ULONG written = 0;
    stream->Write(bytes.data(), static_cast<ULONG>(bytes.size()), &written);
    LARGE_INTEGER start{};
    stream->Seek(start, STREAM_SEEK_SET, nullptr);
    return stream;
  }

  static HRESULT LoadBytes(::IWirelet* control, const std::vector<uint8_t>& bytes) {
    IStream* stream = StreamOf(bytes);
    IPersistStreamInit* persist = As<IPersistStreamInit>(control, IID_IPersistStreamInit);
    HRESULT hr = persist != nullptr ? persist->Load(stream) : E_NOINTERFACE;
    if (persist != nullptr) persist->Release();
    stream->Release();
    return hr;
  }

  ::IWirelet* control_ = nullptr;
};

TEST_F(ComWireletPersistTest, OffersEveryPersistenceInterface) {
  const IID* interfaces[] = {&IID_IPersist, &IID_IPersistStreamInit, &IID_IPersistStream,
                             &IID_IPersistStorage, &IID_IPersistPropertyBag};
  for (const IID* iid : interfaces) {
    IPersist* persist = nullptr;
    ASSERT_EQ(control_->QueryInterface(*iid, reinterpret_cast<void**>(&persist)), S_OK);
    CLSID clsid{};
    EXPECT_EQ(persist->GetClassID(&clsid), S_OK);
    EXPECT_TRUE(IsEqualGUID(clsid, CLSID_Wirelet));
    persist->Release();
  }
}

TEST_F(ComWireletPersistTest, StreamCarriesEveryPersistedProperty) {
  Change(control_);
  IStream* stream = nullptr;
  ASSERT_EQ(CreateStreamOnHGlobal(nullptr, TRUE, &stream), S_OK);
  IPersistStreamInit* persist = As<IPersistStreamInit>(control_, IID_IPersistStreamInit);
  ASSERT_NE(persist, nullptr);
  ULARGE_INTEGER size{};
  ASSERT_EQ(persist->GetSizeMax(&size), S_OK);
  ASSERT_EQ(persist->Save(stream, TRUE), S_OK);
  persist->Release();
  // What a container keeps after the control's own data stays unread.
  const char marker[] = "next";
  ULONG written = 0;
  stream->Write(marker, sizeof marker, &written);
  LARGE_INTEGER start{};
  ULARGE_INTEGER end{};
  stream->Seek(start, STREAM_SEEK_CUR, &end);
  EXPECT_EQ(end.QuadPart, size.QuadPart + sizeof marker) << "GetSizeMax is the size written";
  stream->Seek(start, STREAM_SEEK_SET, nullptr);

  ::IWirelet* restored = NewControl();
  IPersistStreamInit* load = As<IPersistStreamInit>(restored, IID_IPersistStreamInit);
  ASSERT_NE(load, nullptr);
  EXPECT_EQ(load->InitNew(), S_OK);
  EXPECT_EQ(load->Load(stream), S_OK);
  load->Release();
  EXPECT_EQ(PersistedValues(restored), kChanged);
  char after[sizeof marker] = {};
  ULONG read = 0;
  stream->Read(after, sizeof after, &read);
  EXPECT_STREQ(after, marker);
  restored->Release();
  stream->Release();
}

TEST_F(ComWireletPersistTest, StorageKeepsTheContentsStream) {
  Change(control_);
  ILockBytes* bytes = nullptr;
  ASSERT_EQ(CreateILockBytesOnHGlobal(nullptr, TRUE, &bytes), S_OK);
  IStorage* storage = nullptr;
  ASSERT_EQ(StgCreateDocfileOnILockBytes(bytes, STGM_CREATE | STGM_READWRITE | STGM_SHARE_EXCLUSIVE,
                                         0, &storage),
            S_OK);
  IPersistStorage* persist = As<IPersistStorage>(control_, IID_IPersistStorage);
  ASSERT_NE(persist, nullptr);
  EXPECT_EQ(persist->IsDirty(), S_OK);
  ASSERT_EQ(persist->Save(storage, FALSE), S_OK);
  EXPECT_EQ(persist->SaveCompleted(nullptr), S_OK);
  EXPECT_EQ(persist->IsDirty(), S_FALSE);
  persist->Release();
  ASSERT_EQ(storage->Commit(STGC_DEFAULT), S_OK);

  IStream* contents = nullptr;
  ASSERT_EQ(
      storage->OpenStream(L"Contents", nullptr, STGM_READ | STGM_SHARE_EXCLUSIVE, 0, &contents),
      S_OK);
  contents->Release();

  ::IWirelet* restored = NewControl();
  IPersistStorage* load = As<IPersistStorage>(restored, IID_IPersistStorage);
  ASSERT_NE(load, nullptr);
  EXPECT_EQ(load->Load(storage), S_OK);
  EXPECT_EQ(PersistedValues(restored), kChanged);
  EXPECT_EQ(load->HandsOffStorage(), S_OK);

  // A storage without the stream is refused and changes nothing.
  IStorage* empty = nullptr;
  ASSERT_EQ(storage->CreateStorage(L"Empty", STGM_CREATE | STGM_READWRITE | STGM_SHARE_EXCLUSIVE, 0,
                                   0, &empty),
            S_OK);
  ::IWirelet* fresh = NewControl();
  IPersistStorage* refuse = As<IPersistStorage>(fresh, IID_IPersistStorage);
  ASSERT_NE(refuse, nullptr);
  EXPECT_EQ(refuse->Load(empty), STG_E_FILENOTFOUND);
  EXPECT_EQ(PersistedValues(fresh), kNew);
  refuse->Release();
  fresh->Release();
  empty->Release();
  load->Release();
  restored->Release();
  storage->Release();
  bytes->Release();
}

TEST_F(ComWireletPersistTest, StorageFileOnDisk) {
  Change(control_);
  wchar_t folder[MAX_PATH];
  wchar_t path[MAX_PATH];
  ASSERT_GT(GetTempPathW(MAX_PATH, folder), 0u);
  ASSERT_NE(GetTempFileNameW(folder, L"wlt", 0, path), 0u);
  IStorage* storage = nullptr;
  ASSERT_EQ(
      StgCreateDocfile(path, STGM_CREATE | STGM_READWRITE | STGM_SHARE_EXCLUSIVE, 0, &storage),
      S_OK);
  IPersistStorage* persist = As<IPersistStorage>(control_, IID_IPersistStorage);
  ASSERT_NE(persist, nullptr);
  ASSERT_EQ(persist->Save(storage, FALSE), S_OK);
  persist->Release();
  ASSERT_EQ(storage->Commit(STGC_DEFAULT), S_OK);
  storage->Release();

  ASSERT_EQ(StgOpenStorage(path, nullptr, STGM_READ | STGM_SHARE_EXCLUSIVE, nullptr, 0, &storage),
            S_OK);
  ::IWirelet* restored = NewControl();
  IPersistStorage* load = As<IPersistStorage>(restored, IID_IPersistStorage);
  ASSERT_NE(load, nullptr);
  EXPECT_EQ(load->Load(storage), S_OK);
  EXPECT_EQ(PersistedValues(restored), kChanged);
  load->Release();
  restored->Release();
  storage->Release();
  DeleteFileW(path);
}

// The container's own helpers: the class identifier, then the control's data.
TEST_F(ComWireletPersistTest, OleSaveToStreamAndOleLoadFromStream) {
  Change(control_);
  IStream* stream = nullptr;
  ASSERT_EQ(CreateStreamOnHGlobal(nullptr, TRUE, &stream), S_OK);
  IPersistStream* persist = As<IPersistStream>(control_, IID_IPersistStream);
  ASSERT_NE(persist, nullptr);
  ASSERT_EQ(OleSaveToStream(persist, stream), S_OK);
  persist->Release();
  LARGE_INTEGER start{};
  stream->Seek(start, STREAM_SEEK_SET, nullptr);
  ::IWirelet* restored = nullptr;
  ASSERT_EQ(OleLoadFromStream(stream, IID_IWirelet, reinterpret_cast<void**>(&restored)), S_OK);
  EXPECT_EQ(PersistedValues(restored), kChanged);
  restored->Release();
  stream->Release();
}

// A stream cut short anywhere, or with any byte changed, is refused with an
// error and leaves the control as it was.
TEST_F(ComWireletPersistTest, BrokenStreamsAreRefused) {
  Change(control_);
  const std::vector<uint8_t> sound = SavedBytes(control_);
  ASSERT_GT(sound.size(), 16u);
  ::IWirelet* target = NewControl();
  for (size_t length = 0; length < sound.size(); ++length) {
    SCOPED_TRACE(testing::Message() << "cut to " << length);
    EXPECT_EQ(LoadBytes(target, {sound.begin(), sound.begin() + static_cast<ptrdiff_t>(length)}),
              STG_E_READFAULT);
  }
  for (size_t at = 0; at < sound.size(); ++at) {
    SCOPED_TRACE(testing::Message() << "byte " << at);
    std::vector<uint8_t> bad = sound;
    bad[at] ^= 0x41;
    EXPECT_TRUE(FAILED(LoadBytes(target, bad)));
  }
  struct Garbage {
    const char* name;
    std::vector<uint8_t> bytes;
    HRESULT expected;
  };
  const Garbage garbage[] = {
      {"text",
       {'h', 'e', 'l', 'l', 'o', ' ', 'w', 'o', 'r', 'l', 'd', '!', '!', '!', '!', '!'},
       STG_E_DOCFILECORRUPT},
      {"zeros", std::vector<uint8_t>(64, 0), STG_E_DOCFILECORRUPT},
      {"later layout", {'W', 'L', 'P', 'S', 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}, STG_E_OLDDLL},
      {"body of 4 GiB",
       {'W', 'L', 'P', 'S', 1, 0, 1, 0, 0xFF, 0xFF, 0xFF, 0xFF},
       STG_E_DOCFILECORRUPT},
      {"body longer than stream",
       {'W', 'L', 'P', 'S', 1, 0, 1, 0, 0, 1, 0, 0, 1, 2, 3},
       STG_E_READFAULT},
  };
  for (const Garbage& g : garbage) {
    SCOPED_TRACE(g.name);
    EXPECT_EQ(LoadBytes(target, g.bytes), g.expected);
  }
  EXPECT_EQ(PersistedValues(target), kNew);
  IPersistStreamInit* persist = As<IPersistStreamInit>(target, IID_IPersistStreamInit);
  ASSERT_NE(persist, nullptr);
  EXPECT_EQ(persist->IsDirty(), S_FALSE);
  persist->Release();
  EXPECT_EQ(LoadBytes(target, sound), S_OK) << "and the sound stream still loads";
  EXPECT_EQ(PersistedValues(target), kChanged);
  target->Release();
}

TEST_F(ComWireletPersistTest, GetSizeMaxIsTheSizeSaved) {
  IPersistStreamInit* persist = As<IPersistStreamInit>(control_, IID_IPersistStreamInit);
  ASSERT_NE(persist, nullptr);
  for (size_t length : {0, 1, 255, 4000}) {
    SCOPED_TRACE(length);
    BSTR text = SysAllocStringLen(nullptr, static_cast<UINT>(length));
    for (size_t i = 0; i < length; ++i) text[i] = L'a' + i % 26;
    ASSERT_EQ(control_->put_FirewallPassword(text), S_OK);
    SysFreeString(text);
    ULARGE_INTEGER size{};
    ASSERT_EQ(persist->GetSizeMax(&size), S_OK);
    EXPECT_EQ(size.QuadPart, SavedBytes(control_).size());
  }
  EXPECT_EQ(persist->GetSizeMax(nullptr), E_POINTER);
  persist->Release();
}

TEST_F(ComWireletPersistTest, IsDirtyFollowsChangesSavesLoadsAndInitNew) {
  IPersistStreamInit* persist = As<IPersistStreamInit>(control_, IID_IPersistStreamInit);
  ASSERT_NE(persist, nullptr);
  IStream* stream = nullptr;
  ASSERT_EQ(CreateStreamOnHGlobal(nullptr, TRUE, &stream), S_OK);
  LARGE_INTEGER start{};
  struct Step {
    const char* what;
    std::function<HRESULT()> run;
    HRESULT dirty;
  };
  const Step steps[] = {
      {"a new control", [] { return S_OK; }, S_FALSE},
      {"RemotePort changed", [&] { return control_->put_RemotePort(5000); }, S_OK},
      {"saved, dirt kept", [&] { return persist->Save(stream, FALSE); }, S_OK},
      {"saved, dirt cleared",
       [&] {
         stream->Seek(start, STREAM_SEEK_SET, nullptr);
         return persist->Save(stream, TRUE);
       },
       S_FALSE},
      {"a property that is not persisted",
       [&] { return control_->put_SingleLineMode(VARIANT_TRUE); }, S_FALSE},
      {"Timeout changed", [&] { return control_->put_Timeout(3); }, S_OK},
      {"Timeout changed back", [&] { return control_->put_Timeout(0); }, S_FALSE},
      {"Linger changed late bound",
       [&] {
         VARIANT value;
         VariantInit(&value);
         V_VT(&value) = VT_BOOL;
         V_BOOL(&value) = VARIANT_FALSE;
         DISPID put = DISPID_PROPERTYPUT;
         DISPPARAMS params{&value, &put, 1, 1};
         return control_->Invoke(12, IID_NULL, 0, DISPATCH_PROPERTYPUT, &params, nullptr, nullptr,
                                 nullptr);
       },
       S_OK},
      {"loaded",
       [&] {
         stream->Seek(start, STREAM_SEEK_SET, nullptr);
         return persist->Load(stream);
       },
       S_FALSE},
      {"InitNew", [&] { return persist->InitNew(); }, S_FALSE},
  };
  for (const Step& step : steps) {
    SCOPED_TRACE(step.what);
    EXPECT_EQ(step.run(), S_OK);
    EXPECT_EQ(persist->IsDirty(), step.dirty);
  }
  persist->Release();
  stream->Release();
}

TEST_F(ComWireletPersistTest, InitNewRestoresTheValuesOfANewControl) {
  Change(control_);
  IPersistStreamInit* stream = As<IPersistStreamInit>(control_, IID_IPersistStreamInit);
  ASSERT_NE(stream, nullptr);
  EXPECT_EQ(stream->InitNew(), S_OK);
  stream->Release();
  EXPECT_EQ(PersistedValues(control_), kNew);

  Change(control_);
  ILockBytes* bytes = nullptr;
  ASSERT_EQ(CreateILockBytesOnHGlobal(nullptr, TRUE, &bytes), S_OK);
  IStorage* storage = nullptr;
  ASSERT_EQ(StgCreateDocfileOnILockBytes(bytes, STGM_CREATE | STGM_READWRITE | STGM_SHARE_EXCLUSIVE,
                                         0, &storage),
            S_OK);
  IPersistStorage* persist = As<IPersistStorage>(control_, IID_IPersistStorage);
  ASSERT_NE(persist, nullptr);
  EXPECT_EQ(persist->InitNew(storage), S_OK);
  persist->Release();
  EXPECT_EQ(PersistedValues(control_), kNew);
  storage->Release();
  bytes->Release();

  Change(control_);
  IPersistPropertyBag* bag = As<IPersistPropertyBag>(control_, IID_IPersistPropertyBag);
  ASSERT_NE(bag, nullptr);
  EXPECT_EQ(bag->InitNew(), S_OK);
  bag->Release();
  EXPECT_EQ(PersistedValues(control_), kNew);
}

}  // namespace
}  // namespace torvane
