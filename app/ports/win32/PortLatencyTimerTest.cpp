// The USB adapter's latency timer on a line: a pretend adapter (a device of
// the Ports class made with SetupAPI, its hardware key naming COM5) stands
// for the driver's registry, and run-with-com-pair links COM5 and COM6 to a
// pty pair, so the line can be checked to carry bytes after it reopened.
// clang-format off
#include <windows.h>
#include <setupapi.h>
#include <aclapi.h>
// clang-format on

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "PortLatencyTimer.h"
#include "ComPairTesting.h"
#include "Win32SerialLine.h"

namespace torvane {
namespace {

using LowLatency = SerialLine::LowLatency;

constexpr GUID kPortsClass = {
    0x4D36E978, 0xE325, 0x11CE, {0xBF, 0xC1, 0x08, 0x00, 0x2B, 0xE1, 0x03, 0x18}};
constexpr char kAdapterName[] = "TorvaneTestAdapter";
constexpr char kAdapterIdPrefix[] = "ROOT\\TORVANETESTADAPTER\\";

std::string InstanceId(HDEVINFO set, SP_DEVINFO_DATA& device) {
  char id[256] = {};
  SetupDiGetDeviceInstanceIdA(set, &device, id, sizeof id, nullptr);
  return id;
}

// The device's hardware key with the DACL rights of its owner back, so it can go.
void GiveKeyBack(const std::string& instanceId) {
  const std::string path = "System\\CurrentControlSet\\Enum\\" + instanceId + "\\Device Parameters";
  HKEY key = nullptr;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, WRITE_DAC, &key) != ERROR_SUCCESS) return;
  SECURITY_DESCRIPTOR open{};
  InitializeSecurityDescriptor(&open, SECURITY_DESCRIPTOR_REVISION);
  SetSecurityDescriptorDacl(&open, TRUE, nullptr, FALSE);  // no DACL: anyone may do anything
  RegSetKeySecurity(key, DACL_SECURITY_INFORMATION, &open);
  RegCloseKey(key);
}

// Adapters a test that died left behind.
void RemoveLeftoverAdapters() {
  HDEVINFO set = SetupDiGetClassDevsA(&kPortsClass, nullptr, nullptr, 0);
  if (set == INVALID_HANDLE_VALUE) return;
  SP_DEVINFO_DATA device{};
  device.cbSize = sizeof device;
  for (DWORD i = 0; SetupDiEnumDeviceInfo(set, i, &device); ++i) {
    const std::string id = InstanceId(set, device);
    if (id.rfind(kAdapterIdPrefix, 0) != 0) continue;
    GiveKeyBack(id);
    SetupDiRemoveDevice(set, &device);
  }
  SetupDiDestroyDeviceInfoList(set);
}

// A pretend USB serial adapter: a present device of the Ports class whose
// hardware key has "PortName" and, when given, "LatencyTimer". Removed with
// its key when it goes.
class FakeAdapter {
 public:
  FakeAdapter(const char* portName, std::optional<DWORD> timer) {
    set_ = SetupDiCreateDeviceInfoList(&kPortsClass, nullptr);
    device_.cbSize = sizeof device_;
    made_ = set_ != INVALID_HANDLE_VALUE &&
            SetupDiCreateDeviceInfoA(set_, kAdapterName, &kPortsClass, nullptr, nullptr,
                                     DICD_GENERATE_ID, &device_) &&
            SetupDiRegisterDeviceInfo(set_, &device_, 0, nullptr, nullptr, nullptr);
    if (!made_) return;
    HKEY key =
        SetupDiCreateDevRegKeyA(set_, &device_, DICS_FLAG_GLOBAL, 0, DIREG_DEV, nullptr, nullptr);
    made_ = key != INVALID_HANDLE_VALUE;
    if (!made_) return;
    RegSetValueExA(key, "PortName", 0, REG_SZ, reinterpret_cast<const BYTE*>(portName),
                   static_cast<DWORD>(strlen(portName) + 1));
    if (timer) {
      RegSetValueExA(key, "LatencyTimer", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&*timer),
                     sizeof *timer);
    }
    RegCloseKey(key);
  }
  ~FakeAdapter() {
    if (set_ == INVALID_HANDLE_VALUE) return;
    if (made_) {
      GiveKeyBack(InstanceId(set_, device_));
      SetupDiRemoveDevice(set_, &device_);
    }
    SetupDiDestroyDeviceInfoList(set_);
  }
  FakeAdapter(const FakeAdapter&) = delete;
  FakeAdapter& operator=(const FakeAdapter&) = delete;

  bool Made() const { return made_; }

  std::optional<DWORD> Timer() {
    HKEY key =
        SetupDiOpenDevRegKey(set_, &device_, DICS_FLAG_GLOBAL, 0, DIREG_DEV, KEY_QUERY_VALUE);
    if (key == INVALID_HANDLE_VALUE) return std::nullopt;
    DWORD value = 0;
    DWORD size = sizeof value;
    const LONG found = RegQueryValueExA(key, "LatencyTimer", nullptr, nullptr,
                                        reinterpret_cast<BYTE*>(&value), &size);
    RegCloseKey(key);
    if (found != ERROR_SUCCESS) return std::nullopt;
    return value;
  }

  // As Windows keeps the key for a user without administrator rights:
  // everyone may read it, nobody may change it.
  bool MakeReadOnly() {
    const std::string path =
        "System\\CurrentControlSet\\Enum\\" + InstanceId(set_, device_) + "\\Device Parameters";
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, WRITE_DAC, &key) != ERROR_SUCCESS) {
      return false;
    }
    EXPLICIT_ACCESSA readOnly{};
    readOnly.grfAccessPermissions = KEY_READ;
    readOnly.grfAccessMode = SET_ACCESS;
    readOnly.grfInheritance = NO_INHERITANCE;
    readOnly.Trustee.TrusteeForm = TRUSTEE_IS_NAME;
    readOnly.Trustee.ptstrName = const_cast<char*>("EVERYONE");
    PACL acl = nullptr;
    bool done = SetEntriesInAclA(1, &readOnly, nullptr, &acl) == ERROR_SUCCESS;
    if (done) {
      SECURITY_DESCRIPTOR sd{};
      InitializeSecurityDescriptor(&sd, SECURITY_DESCRIPTOR_REVISION);
      SetSecurityDescriptorDacl(&sd, TRUE, acl, FALSE);
      done = RegSetKeySecurity(key, DACL_SECURITY_INFORMATION, &sd) == ERROR_SUCCESS;
      LocalFree(acl);
    }
    RegCloseKey(key);
    return done;
  }

 private:
  HDEVINFO set_ = INVALID_HANDLE_VALUE;
  SP_DEVINFO_DATA device_{};
  bool made_ = false;
};

std::string EveryByteValue(bool reversed) {
  std::string bytes;
  for (int i = 0; i < 256; ++i) bytes += static_cast<char>(reversed ? 255 - i : i);
  return bytes;
}

struct LatencyTimerTest : ComPairTest {
  void SetUp() override {
    RemoveLeftoverAdapters();
    ComPairTest::SetUp();
  }
  void OpenBoth() {
    a.SetPortOpen(true);
    b.SetPortOpen(true);
  }
  // Every byte value from a to b, then back.
  void ExpectBytesCrossBothWays() {
    const std::string there = EveryByteValue(false);
    const std::string back = EveryByteValue(true);
    atA.clear();
    atB.clear();
    a.Output(there);
    ASSERT_TRUE(ServiceUntil(
        {&a, &b}, [&] { return atB.size() >= there.size(); }, 5000))
        << "got " << atB.size() << " bytes at COM6";
    EXPECT_EQ(atB, there);
    b.Output(back);
    ASSERT_TRUE(ServiceUntil(
        {&a, &b}, [&] { return atA.size() >= back.size(); }, 5000))
        << "got " << atA.size() << " bytes at COM5";
    EXPECT_EQ(atA, back);
  }
};

TEST_F(LatencyTimerTest, AdaptersTimerIsBroughtDownOnlyWhenAskedAndNeeded) {
  struct Case {
    const char* name;
    std::optional<DWORD> timer;  // nullopt: the adapter's key has no LatencyTimer
    bool on;
    LowLatency outcome;
    std::optional<DWORD> after;
    uint32_t reportedMs;
    int reopens;
  };
  const Case cases[] = {
      {"16 ms, on", 16, true, LowLatency::kOn, 1, 1, 1},
      {"1 ms already, on", 1, true, LowLatency::kOn, 1, 1, 0},
      {"16 ms, off", 16, false, LowLatency::kOff, 16, 16, 0},
      {"no LatencyTimer, on", std::nullopt, true, LowLatency::kNotOffered, std::nullopt, 0, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    FakeAdapter adapter("COM5", c.timer);
    ASSERT_TRUE(adapter.Made()) << "SetupAPI made no device: " << GetLastError();
    OpenBoth();
    const int opens = a.DeviceOpens();
    EXPECT_EQ(a.SetLowLatency(c.on), c.outcome);
    EXPECT_EQ(adapter.Timer(), c.after);
    EXPECT_EQ(a.LatencyTimerMs(), c.reportedMs);
    EXPECT_EQ(a.DeviceOpens() - opens, c.reopens);
    EXPECT_TRUE(a.PortOpen());
    ExpectBytesCrossBothWays();
    a.SetPortOpen(false);
    b.SetPortOpen(false);
  }
  EXPECT_EQ(errors, "");
}

TEST_F(LatencyTimerTest, PortsWithoutAnAdapterAreUsedAsTheyAre) {
  OpenBoth();
  // Wine's own COM ports are no devices of the Ports class.
  EXPECT_EQ(a.SetLowLatency(true), LowLatency::kNotOffered);
  EXPECT_EQ(a.LatencyTimerMs(), 0u);

  FakeAdapter adapter("COM5", 16);
  ASSERT_TRUE(adapter.Made());
  const int opens = b.DeviceOpens();
  EXPECT_EQ(b.SetLowLatency(true), LowLatency::kNotOffered) << "COM5's adapter is not COM6's";
  EXPECT_EQ(b.DeviceOpens(), opens);
  EXPECT_EQ(adapter.Timer(), std::optional<DWORD>(16));
  ExpectBytesCrossBothWays();
  EXPECT_EQ(errors, "");
}

TEST_F(LatencyTimerTest, ARefusedChangeLeavesTheLineAsItIsAndSaysTheTimer) {
  FakeAdapter adapter("COM5", 16);
  ASSERT_TRUE(adapter.Made());
  ASSERT_TRUE(adapter.MakeReadOnly());
  OpenBoth();
  const int opens = a.DeviceOpens();
  EXPECT_EQ(a.SetLowLatency(true), LowLatency::kNotAllowed);
  EXPECT_EQ(a.LatencyTimerMs(), 16u);
  EXPECT_EQ(adapter.Timer(), std::optional<DWORD>(16));
  EXPECT_EQ(a.DeviceOpens(), opens);
  ExpectBytesCrossBothWays();
  // Off never needs to write.
  EXPECT_EQ(a.SetLowLatency(false), LowLatency::kOff);
  EXPECT_EQ(errors, "");
}

// Bytes that came in before the reopen, in a read the line had not served
// yet, are handed on rather than lost with the old handle.
TEST_F(LatencyTimerTest, BytesReadBeforeTheReopenAreKept) {
  FakeAdapter adapter("COM5", 16);
  ASSERT_TRUE(adapter.Made());
  OpenBoth();
  b.Output("reply");
  ASSERT_TRUE(ServiceUntil(
      {&b}, [&] { return b.OutBufferCount() == 0; }, 5000));
  ASSERT_EQ(a.Events().size(), 1u) << "only COM5's read is in flight";
  ASSERT_EQ(WaitForSingleObject(a.Events()[0], 5000), WAIT_OBJECT_0) << "COM5 read nothing";
  EXPECT_EQ(a.SetLowLatency(true), LowLatency::kOn);
  ASSERT_TRUE(ServiceUntil(
      {&a}, [&] { return atA.size() >= 5; }, 2000))
      << atA;
  EXPECT_EQ(atA, "reply");
  ExpectBytesCrossBothWays();
  EXPECT_EQ(errors, "");
}

// Settings made while the line was open hold on the new handle: with
// XOn/XOff on, the driver takes the two control characters itself.
TEST_F(LatencyTimerTest, SettingsMadeWhileOpenHoldAfterTheReopen) {
  FakeAdapter adapter("COM5", 16);
  ASSERT_TRUE(adapter.Made());
  OpenBoth();
  a.SetHandshaking(1);
  EXPECT_EQ(a.SetLowLatency(true), LowLatency::kOn);
  b.Output("\x13x\x11y");
  ASSERT_TRUE(ServiceUntil(
      {&a, &b}, [&] { return atA.find('y') != std::string::npos; }, 5000))
      << atA;
  EXPECT_EQ(atA, "xy");
  EXPECT_EQ(errors, "");
}

// Whether dir (a Unix path) lists name, which may be a device's name.
bool Listed(const std::string& dir, const std::string& name) {
  std::string pattern = "Z:" + dir + "/*";
  for (char& c : pattern) c = c == '/' ? '\\' : c;
  WIN32_FIND_DATAA found{};
  HANDLE search = FindFirstFileA(pattern.c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return false;
  bool listed = false;
  do {
    listed = lstrcmpiA(found.cFileName, name.c_str()) == 0;
  } while (!listed && FindNextFileA(search, &found));
  FindClose(search);
  return listed;
}

// Renames a file in dir on the Unix side: Wine will not rename a link to a
// character device itself, but starts Unix programs. Waits until it shows.
bool RenameUnixFile(const std::string& dir, const std::string& from, const std::string& to) {
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  std::string command = "/bin/mv " + dir + "/" + from + " " + dir + "/" + to;
  if (!CreateProcessA("Z:\\bin\\mv", command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                      &startup, &process)) {
    return false;
  }
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  for (int i = 0; i < 200; ++i) {
    if (Listed(dir, to) && !Listed(dir, from)) return true;
    Sleep(10);
  }
  return false;
}

// The device gone between the close and the open: the line reports it as
// failed and is closed, never left looking open.
TEST_F(LatencyTimerTest, AFailedReopenIsReportedAsALineFailure) {
  const char* prefix = getenv("WINEPREFIX");
  if (prefix == nullptr) GTEST_SKIP() << "needs the Wine prefix to take COM5's mapping away";
  const std::string devices = std::string(prefix) + "/dosdevices";

  FakeAdapter adapter("COM5", 16);
  ASSERT_TRUE(adapter.Made());
  OpenBoth();
  ASSERT_TRUE(RenameUnixFile(devices, "com5", "away-com5")) << "COM5's mapping stayed";
  const LowLatency outcome = a.SetLowLatency(true);
  const bool movedBack = RenameUnixFile(devices, "away-com5", "com5");
  EXPECT_EQ(outcome, LowLatency::kNotOffered);
  EXPECT_FALSE(a.PortOpen());
  EXPECT_TRUE(a.Events().empty());
  EXPECT_NE(errors.find("the line did not open again after its latency timer changed: cannot "
                        "open \\\\.\\COM5: "),
            std::string::npos)
      << errors;
  EXPECT_EQ(adapter.Timer(), std::optional<DWORD>(1)) << "the next open takes it";
  ASSERT_TRUE(movedBack) << "COM5's mapping did not come back";

  // Back again, the line opens with the timer already down.
  errors.clear();
  a.SetPortOpen(true);
  const int opens = a.DeviceOpens();
  EXPECT_EQ(a.SetLowLatency(true), LowLatency::kOn);
  EXPECT_EQ(a.DeviceOpens(), opens);
  ExpectBytesCrossBothWays();
  EXPECT_EQ(errors, "");
}

// The registry side alone, as a line uses it.
TEST(PortLatencyTimerTest, ReadsAndWritesTheAdapterOfItsPortName) {
  RemoveLeftoverAdapters();
  FakeAdapter five("COM5", 16);
  FakeAdapter seven("COM7", 4);
  ASSERT_TRUE(five.Made() && seven.Made());
  PortLatencyTimer com5("com5");  // names are compared without case
  PortLatencyTimer com7("COM7");
  PortLatencyTimer com8("COM8");
  EXPECT_EQ(com5.Read(), std::optional<uint32_t>(16));
  EXPECT_EQ(com7.Read(), std::optional<uint32_t>(4));
  EXPECT_EQ(com8.Read(), std::nullopt);
  EXPECT_EQ(com7.Write(1), LatencyTimerSetting::WriteResult::kWritten);
  EXPECT_EQ(seven.Timer(), std::optional<DWORD>(1));
  EXPECT_EQ(five.Timer(), std::optional<DWORD>(16));
  EXPECT_EQ(com8.Write(1), LatencyTimerSetting::WriteResult::kFailed);
  ASSERT_TRUE(five.MakeReadOnly());
  EXPECT_EQ(com5.Write(1), LatencyTimerSetting::WriteResult::kRefused);
  EXPECT_EQ(com5.Read(), std::optional<uint32_t>(16));
}

}  // namespace
}  // namespace torvane
