#include "NumericText.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

namespace torvane {
namespace {

struct NumericCase {
  std::string text;
  std::optional<int16_t> expected;
};

class NumericInt16Test : public ::testing::TestWithParam<NumericCase> {};

TEST_P(NumericInt16Test, ReadsDecimalNumbersOnly) {
  const NumericCase& c = GetParam();
  EXPECT_EQ(NumericInt16(c.text), c.expected) << '"' << c.text << '"';
}

INSTANTIATE_TEST_SUITE_P(
    Texts, NumericInt16Test,
    ::testing::Values(NumericCase{"12", 12}, NumericCase{" 7 ", 7}, NumericCase{"-3", -3},
                      NumericCase{"+4", 4}, NumericCase{"007", 7}, NumericCase{"3.5", 4},
                      NumericCase{"2.5", 2},  // halves go to the even neighbour
                      NumericCase{"-2.5", -2}, NumericCase{"2.51", 3}, NumericCase{".5", 0},
                      NumericCase{"5.", 5}, NumericCase{"32767", 32767},
                      NumericCase{"-32768", -32768}, NumericCase{"32768", std::nullopt},
                      NumericCase{"99999999999999999999999", std::nullopt},
                      NumericCase{"abc", std::nullopt}, NumericCase{"No Key Value", std::nullopt},
                      NumericCase{"", std::nullopt}, NumericCase{"   ", std::nullopt},
                      NumericCase{"1e3", std::nullopt}, NumericCase{"1.2.3", std::nullopt},
                      NumericCase{"12abc", std::nullopt}, NumericCase{"- 5", std::nullopt},
                      NumericCase{".", std::nullopt}, NumericCase{"+", std::nullopt},
                      NumericCase{"\t5", std::nullopt}, NumericCase{"1,5", std::nullopt}));

TEST(NumericValueTest, KeepsFractionsAndTinyValues) {
  EXPECT_DOUBLE_EQ(*NumericValue("-0.125"), -0.125);
  EXPECT_DOUBLE_EQ(*NumericValue("0." + std::string(400, '0') + "1"), 0.0);
  EXPECT_GT(*NumericValue(std::string(400, '9')), 1e300);
}

}  // namespace
}  // namespace torvane
