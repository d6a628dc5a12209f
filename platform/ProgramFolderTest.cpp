#include "ProgramFolder.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace torvane {
namespace {

namespace fs = std::filesystem;

// Where copies of the library are laid out under a scratch root, and which
// one (relative to the root) the program must take; "" for none.
struct LayoutCase {
  const char* name;
  std::vector<const char*> files;
  const char* expected;
};

class FindProgramLibraryTest : public ::testing::TestWithParam<LayoutCase> {
 protected:
  void SetUp() override {
    root_ =
        fs::temp_directory_path() /
        ("torvane-libfind-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
         "-" + GetParam().name);
    fs::remove_all(root_);
    fs::create_directories(root_ / "usr/bin");
  }
  void TearDown() override { fs::remove_all(root_); }

  fs::path root_;
};

TEST_P(FindProgramLibraryTest, TakesTheCopyBesideTheProgramBeforeTheInstalledOne) {
  const LayoutCase& c = GetParam();
  for (const char* file : c.files) {
    fs::create_directories((root_ / file).parent_path());
    std::ofstream(root_ / file) << "x";
  }
  const std::string found = FindProgramLibrary((root_ / "usr/bin").string(), "libThing.so");
  const std::string expected =
      *c.expected == '\0' ? std::string() : fs::canonical(root_ / c.expected).string();
  EXPECT_EQ(found, expected);
}

INSTANTIATE_TEST_SUITE_P(
    Layouts, FindProgramLibraryTest,
    ::testing::Values(
        LayoutCase{"beside", {"usr/bin/libThing.so"}, "usr/bin/libThing.so"},
        LayoutCase{"installed", {"usr/lib/torvanetx/libThing.so"}, "usr/lib/torvanetx/libThing.so"},
        LayoutCase{"both",
                   {"usr/bin/libThing.so", "usr/lib/torvanetx/libThing.so"},
                   "usr/bin/libThing.so"},
        LayoutCase{"neither", {"usr/lib/libThing.so", "usr/bin/libOther.so"}, ""}),
    [](const ::testing::TestParamInfo<LayoutCase>& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace torvane
