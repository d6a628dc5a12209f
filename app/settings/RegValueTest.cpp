#include "RegValue.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>

namespace torvane {
namespace {

struct DateCase {
  double ole;
  const char* text;
};

class OleDateTest : public testing::TestWithParam<DateCase> {};

TEST_P(OleDateTest, FormatsAndParsesBack) {
  const auto& param = GetParam();
  const auto text = OleDateToText(param.ole);
  ASSERT_TRUE(text.has_value());
  EXPECT_EQ(*text, param.text);
  const auto back = OleDateFromText(param.text);
  ASSERT_TRUE(back.has_value());
  EXPECT_EQ(OleDateToText(*back), *text);
}

INSTANTIATE_TEST_SUITE_P(
    Dates, OleDateTest,
    testing::Values(DateCase{0.0, "1899-12-30 00:00:00"}, DateCase{1.0, "1899-12-31 00:00:00"},
                    DateCase{2.0, "1900-01-01 00:00:00"}, DateCase{60.0, "1900-02-28 00:00:00"},
                    DateCase{61.0, "1900-03-01 00:00:00"}, DateCase{-1.25, "1899-12-29 06:00:00"},
                    DateCase{-0.5, "1899-12-30 12:00:00"}, DateCase{36526.0, "2000-01-01 00:00:00"},
                    DateCase{45351.5, "2024-02-29 12:00:00"},
                    DateCase{45000.0 + 86399.0 / 86400.0, "2023-03-15 23:59:59"},
                    DateCase{-657434.0, "0100-01-01 00:00:00"},
                    DateCase{2958465.0 + 86399.0 / 86400.0, "9999-12-31 23:59:59"}));

TEST(OleDateTest, RoundingUpToMidnightCarriesIntoTheNextDay) {
  EXPECT_EQ(OleDateToText(45000.9999999), "2023-03-16 00:00:00");
  EXPECT_EQ(OleDateToText(-1.9999999), "1899-12-30 00:00:00");
}

TEST(OleDateTest, OutsideTheDateRangeHasNoText) {
  for (double ole : {-657435.0, 2958466.0, 1e300, -1e300, std::nan(""), HUGE_VAL}) {
    SCOPED_TRACE(ole);
    EXPECT_FALSE(OleDateToText(ole).has_value());
  }
}

TEST(OleDateTest, MalformedDateTexts) {
  for (const char* text :
       {"", "2024-2-29", "2023-02-29", "2024-13-01", "2024-00-10", "2024-01-01 24:00",
        "2024-01-01 10:60", "2024-01-01 10:00:60", "2024-01-01T10:00", "2024-01-01 10",
        "0099-12-31", "2024-01-01 10:00:00x"}) {
    SCOPED_TRACE(text);
    EXPECT_FALSE(OleDateFromText(text).has_value());
  }
  EXPECT_EQ(OleDateFromText(" 2024-01-01 "), 45292.0);
  EXPECT_EQ(OleDateFromText("2024-01-01 06:00"), 45292.25);
}

struct DecimalCase {
  const char* text;
  int32_t expected;
};

class DecimalTextTest : public testing::TestWithParam<DecimalCase> {};

TEST_P(DecimalTextTest, Converts) {
  EXPECT_EQ(DecimalTextToInt32(GetParam().text), GetParam().expected) << GetParam().text;
}

INSTANTIATE_TEST_SUITE_P(
    Texts, DecimalTextTest,
    testing::Values(DecimalCase{"0", 0}, DecimalCase{"17", 17}, DecimalCase{" 17 ", 17},
                    DecimalCase{"+17", 17}, DecimalCase{"-17", -17},
                    DecimalCase{"2147483647", 2147483647}, DecimalCase{"-2147483648", INT32_MIN},
                    DecimalCase{"-2147483649", 0}, DecimalCase{"4294967295", -1},
                    DecimalCase{"2147483648", INT32_MIN}, DecimalCase{"99999999999999999999", 0},
                    DecimalCase{"", 0}, DecimalCase{"-", 0}, DecimalCase{"12abc", 0},
                    DecimalCase{"1.5", 0}, DecimalCase{"No Key Value", 0}, DecimalCase{"1 2", 0}));

TEST(RegValueTest, ReadsNeedTheRightDataSize) {
  EXPECT_EQ(ValueToText(RegValue{4, "\x01\x02\x03"}), std::nullopt);
  EXPECT_EQ(ValueToText(RegValue{4, "\x01\x02\x03\x04\x05"}), std::nullopt);
  EXPECT_EQ(ValueToText(RegValue{4, "\x01\x01\x00\x00"}), std::nullopt) << "embedded NUL is data";
  EXPECT_EQ(ValueToText(RegValue{4, std::string("\x01\x01\x00\x00", 4)}), "257");
  EXPECT_EQ(ValueToText(RegValue{8, std::string(7, '\0')}), std::nullopt);
  EXPECT_EQ(ValueToText(RegValue{8, std::string(8, '\0')}), "1899-12-30 00:00:00");
  EXPECT_EQ(ValueToText(RegValue{1, std::string(1, '\0')}), std::string(1, '\0'));
  EXPECT_EQ(ValueToText(RegValue{3, "abc"}), std::nullopt);
}

TEST(RegValueTest, DateWritesFromText) {
  EXPECT_EQ(ValueFromText(" 2 ", 8), ValueFromNumber(2, 8));
  EXPECT_EQ(ValueFromText("1900-01-01", 8), ValueFromNumber(2, 8));
  EXPECT_EQ(ValueFromText("inf", 8), std::nullopt);
  EXPECT_EQ(ValueFromText("nan", 8), std::nullopt);
  EXPECT_EQ(ValueFromText("", 8), std::nullopt);
  EXPECT_EQ(ValueFromText("2x", 8), std::nullopt);
}

}  // namespace
}  // namespace torvane
