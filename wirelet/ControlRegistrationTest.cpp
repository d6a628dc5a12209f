#include "ControlRegistration.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "RegistryHive.h"

namespace torvane {
namespace {

namespace fs = std::filesystem;

constexpr const char* kClsid = "{5A6B1C2D-0E0F-4A1B-9C8D-7E6F5A4B3C2D}";

enum class Registered { kNothing, kProgIdOnly, kOwn, kOwnThroughLink, kOther, kMissing };

struct RegistrationCase {
  const char* name;
  Registered registered;
  bool hasOwnModule;
  const char* registrarFailure;
  ControlRegistration::Outcome outcome;
  bool registersOwn;        // the registrar runs, on the program's own module
  const char* messagePart;  // "" when nothing must be said
};

class ControlRegistrationTest : public ::testing::TestWithParam<RegistrationCase> {
 protected:
  void SetUp() override {
    folder_ = fs::temp_directory_path() / (std::string("torvane-ctlreg-") + GetParam().name);
    fs::remove_all(folder_);
    fs::create_directories(folder_ / "lib");
    fs::create_directories(folder_ / "elsewhere");
    own_ = (folder_ / "lib/libwirelet61.so").string();
    other_ = (folder_ / "elsewhere/libwirelet61.so").string();
    std::ofstream(own_) << "own";
    std::ofstream(other_) << "other";
    fs::create_symlink(own_, folder_ / "link.so");
  }
  void TearDown() override { fs::remove_all(folder_); }

  void RegisterTo(const std::string& module) {
    hive_.WriteValue("Wirekit.Wirelet\\CLSID", "", kClsid);
    if (!module.empty()) {
      hive_.WriteValue(std::string("CLSID\\") + kClsid + "\\InprocServer32", "", module);
    }
  }

  fs::path folder_;
  std::string own_;
  std::string other_;
  MemoryHive hive_;
};

TEST_P(ControlRegistrationTest, RegistersOnlyWhenNothingUsableIsRegistered) {
  const RegistrationCase& c = GetParam();
  switch (c.registered) {
    case Registered::kNothing:
      break;
    case Registered::kProgIdOnly:
      RegisterTo("");
      break;
    case Registered::kOwn:
      RegisterTo(own_);
      break;
    case Registered::kOwnThroughLink:
      RegisterTo((folder_ / "link.so").string());
      break;
    case Registered::kOther:
      RegisterTo(other_);
      break;
    case Registered::kMissing:
      RegisterTo((folder_ / "gone/libwirelet61.so").string());
      break;
  }
  std::vector<std::string> calls;
  const ModuleRegistrar registrar = [&](const std::string& module) {
    calls.push_back(module);
    return std::string(c.registrarFailure);
  };
  const ControlRegistration result =
      EnsureControlRegistered(hive_, c.hasOwnModule ? own_ : std::string(), registrar);

  EXPECT_EQ(result.outcome, c.outcome);
  if (c.registersOwn) {
    EXPECT_EQ(calls, std::vector<std::string>{own_});
  } else {
    EXPECT_TRUE(calls.empty()) << calls.front();
  }
  if (*c.messagePart == '\0') {
    EXPECT_EQ(result.message, "");
  } else {
    EXPECT_NE(result.message.find(c.messagePart), std::string::npos) << result.message;
  }
  if (c.registered == Registered::kOther) {
    EXPECT_NE(result.message.find(other_), std::string::npos) << result.message;
    EXPECT_EQ(result.module, other_);
  }
  if (c.outcome == ControlRegistration::Outcome::kRegistered ||
      c.outcome == ControlRegistration::Outcome::kReplacedMissing) {
    EXPECT_EQ(result.module, own_);
  }
}

using Outcome = ControlRegistration::Outcome;
INSTANTIATE_TEST_SUITE_P(
    Hives, ControlRegistrationTest,
    ::testing::Values(
        RegistrationCase{"nothing", Registered::kNothing, true, "", Outcome::kRegistered, true,
                         "none was registered"},
        RegistrationCase{"progid_without_module", Registered::kProgIdOnly, true, "",
                         Outcome::kRegistered, true, "registered"},
        RegistrationCase{"own", Registered::kOwn, true, "", Outcome::kOwnModule, false, ""},
        RegistrationCase{"own_through_link", Registered::kOwnThroughLink, true, "",
                         Outcome::kOwnModule, false, ""},
        RegistrationCase{"other", Registered::kOther, true, "", Outcome::kOtherModule, false,
                         "left as registered"},
        RegistrationCase{"other_without_own", Registered::kOther, false, "", Outcome::kOtherModule,
                         false, "left as registered"},
        RegistrationCase{"missing", Registered::kMissing, true, "", Outcome::kReplacedMissing, true,
                         "is missing; registered"},
        RegistrationCase{"missing_without_own", Registered::kMissing, false, "",
                         Outcome::kNoOwnModule, false, "is missing"},
        RegistrationCase{"nothing_without_own", Registered::kNothing, false, "",
                         Outcome::kNoOwnModule, false, "none registered"},
        RegistrationCase{"registrar_fails", Registered::kNothing, true, "cannot load it",
                         Outcome::kFailed, true, "failed: cannot load it"}),
    [](const ::testing::TestParamInfo<RegistrationCase>& info) {
      return std::string(info.param.name);
    });

}  // namespace
}  // namespace torvane
