#include "Formats.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>

namespace torvane {
namespace {

struct PadCase {
  std::string (*op)(std::string_view, int);
  const char* name;
  std::string_view text;
  int width;
  std::string expected;
};

TEST(PaddingTest, PadsCutsAndAlignsAsEachOperationSays) {
  const PadCase cases[] = {
      {PadRight, "PadRight", "0.5", 6, "0.5   "},
      {PadRight, "PadRight", "-0.0123", 6, "-0.0123"},  // longer: unchanged
      {PadRight, "PadRight", "", 3, "   "},
      {PadRight, "PadRight", "abc", 0, "abc"},
      {PadRightUnderscore, "PadRightUnderscore", "9.87", 6, "9.87__"},
      {PadRightUnderscore, "PadRightUnderscore", "", 6, "______"},
      {PadRightUnderscore, "PadRightUnderscore", "1234567", 6, "1234567"},
      {FitRight, "FitRight", "ABCDEFGHIJKLMNOP", 14, "ABCDEFGHIJKLMN"},  // 16 -> first 14
      {FitRight, "FitRight", "SMITH", 14, "         SMITH"},             // 9 spaces
      {FitRight, "FitRight", "", 4, "    "},
      {FitRightUnderscore, "FitRightUnderscore", "JONES", 12, "_______JONES"},
      {FitRightUnderscore, "FitRightUnderscore", "ABCDEFGHIJKLMNOP", 12, "ABCDEFGHIJKL"},
      {FitRight, "FitRight", "abc", -1, ""},
  };
  for (const PadCase& c : cases) {
    SCOPED_TRACE(std::string(c.name) + "(\"" + std::string(c.text) + "\", " +
                 std::to_string(c.width) + ")");
    EXPECT_EQ(c.op(c.text, c.width), c.expected);
  }
}

TEST(PaddingTest, LeavesItsArgumentAlone) {
  const std::string name = "SMITH";
  EXPECT_EQ(FitRightUnderscore(name, 8), "___SMITH");
  EXPECT_EQ(name, "SMITH");
}

TEST(TrimSpacesTest, TrimsOnlyTheSpaceCharacter) {
  EXPECT_EQ(TrimSpaces("  SS/AA  "), "SS/AA");
  EXPECT_EQ(TrimSpaces("     "), "");
  EXPECT_EQ(TrimSpaces("\tX "), "\tX");
}

struct NumericCase {
  std::string_view text;
  bool numeric;
};

class IsNumericTest : public ::testing::TestWithParam<NumericCase> {};

TEST_P(IsNumericTest, AcceptsSignedDecimalsWithSurroundingSpaces) {
  EXPECT_EQ(IsNumeric(GetParam().text), GetParam().numeric) << "\"" << GetParam().text << "\"";
}

INSTANTIATE_TEST_SUITE_P(Texts, IsNumericTest,
                         ::testing::Values(NumericCase{"10.62", true}, NumericCase{" 0.5 ", true},
                                           NumericCase{"-0.0123", true}, NumericCase{"+7", true},
                                           NumericCase{".5", true}, NumericCase{"5.", true},
                                           NumericCase{"1050", true}, NumericCase{"", false},
                                           NumericCase{"   ", false}, NumericCase{".", false},
                                           NumericCase{"-", false}, NumericCase{"1.2.3", false},
                                           NumericCase{"1e5", false}, NumericCase{"1,000", false},
                                           NumericCase{"- 5", false}, NumericCase{"abc", false},
                                           NumericCase{"No Key Value", false},
                                           NumericCase{"0x10", false}, NumericCase{"\t5", false}));

struct FormatCase {
  std::string_view text;
  std::string_view pattern;
  std::string expected;
};

class FormatTextTest : public ::testing::TestWithParam<FormatCase> {};

TEST_P(FormatTextTest, FormatsTheDecimalDigitsWithThePattern) {
  const FormatCase& c = GetParam();
  EXPECT_EQ(FormatText(c.text, c.pattern), c.expected) << "\"" << c.text << "\" with " << c.pattern;
}

INSTANTIATE_TEST_SUITE_P(
    TimePattern, FormatTextTest,
    ::testing::Values(
        FormatCase{"0.5", kTimePattern, "0.500"}, FormatCase{"0.4567", kTimePattern, "0.4567"},
        FormatCase{".45", kTimePattern, "0.450"}, FormatCase{"0.45678", kTimePattern, "0.4568"},
        FormatCase{"0.45675", kTimePattern, "0.4568"},  // half: away from zero
        FormatCase{"0.45674", kTimePattern, "0.4567"},
        FormatCase{"-0.45675", kTimePattern, "-0.4568"},  // away from zero
        FormatCase{"0.99996", kTimePattern, "1.000"},     // carry into the integer
        FormatCase{"9.99995", kTimePattern, "10.000"}, FormatCase{"0.40001", kTimePattern, "0.400"},
        FormatCase{"-0.0123", kTimePattern, "-0.0123"},  // 7 characters
        FormatCase{"-0.00004", kTimePattern, "0.000"},   // no minus on a zero
        FormatCase{"007.1", kTimePattern, "7.100"}, FormatCase{" +2 ", kTimePattern, "2.000"},
        FormatCase{"12345", kTimePattern, "12345.000"}, FormatCase{"0", kTimePattern, "0.000"},
        FormatCase{"abc", kTimePattern, "abc"},  // not a number: unchanged
        FormatCase{"", kTimePattern, ""}));

INSTANTIATE_TEST_SUITE_P(DialPattern, FormatTextTest,
                         ::testing::Values(FormatCase{"10.5", kDialPattern, "10.50"},
                                           FormatCase{"9.876", kDialPattern, "9.88"},
                                           FormatCase{"9.875", kDialPattern, "9.88"},
                                           FormatCase{"9.874", kDialPattern, "9.87"},
                                           FormatCase{"11", kDialPattern, "11.00"},
                                           FormatCase{"0.004", kDialPattern, "0.00"},
                                           FormatCase{"99.995", kDialPattern, "100.00"}));

struct SingleCase {
  float value;
  std::string_view pattern;
  std::string expected;
};

TEST(FormatSingleTest, RoundsTheShortestDecimalFormOfTheSingle) {
  const SingleCase cases[] = {
      {1050 * 0.01f, kDialPattern, "10.50"},
      {999 * 0.01f, kDialPattern, "9.99"},
      {1 * 0.01f, kDialPattern, "0.01"},
      {0.125f, kDialPattern, "0.13"},  // exact half: away from zero
      {-0.125f, kDialPattern, "-0.13"},
      {10.62f - 10.5f, kTimePattern, "0.120"},
      {0.1f, kTimePattern, "0.100"},
      {-0.0123f, kTimePattern, "-0.0123"},
      {0.0f, kTimePattern, "0.000"},
      {-0.0f, kTimePattern, "0.000"},
      {FLT_MAX, kDialPattern, "340282346638528859811704183484516925440.00"},
  };
  for (const SingleCase& c : cases) {
    SCOPED_TRACE(c.value);
    EXPECT_EQ(FormatSingle(c.value, c.pattern), c.expected);
  }
}

TEST(FormatSingleTest, NonFiniteValuesGiveNoText) {
  EXPECT_EQ(FormatSingle(HUGE_VALF, kTimePattern), "");
  EXPECT_EQ(FormatSingle(std::nanf(""), kTimePattern), "");
}

TEST(RoundSingleTest, RoundsToDecimalPlacesHalvesAwayFromZero) {
  EXPECT_EQ(RoundSingle(10.62f - 10.5f, 4), 0.12f);
  EXPECT_EQ(RoundSingle(0.00045f, 4), 0.0005f);
  EXPECT_EQ(RoundSingle(-0.00045f, 4), -0.0005f);
  EXPECT_EQ(RoundSingle(2.5f, 0), 3.0f);
  EXPECT_EQ(RoundSingle(-2.5f, 0), -3.0f);
  EXPECT_EQ(RoundSingle(0.12344f, 4), 0.1234f);
}

TEST(ToSingleTest, ReadsNumericTextsWithinTheSingleRange) {
  EXPECT_EQ(ToSingle("10.5"), 10.5f);
  EXPECT_EQ(ToSingle(" -1050 "), -1050.0f);
  EXPECT_EQ(ToSingle(".25"), 0.25f);
  EXPECT_EQ(ToSingle("0.00000000000000000000000000000000000000000000000001"), 0.0f);
  EXPECT_FALSE(ToSingle("1" + std::string(50, '0')).has_value());
  EXPECT_FALSE(ToSingle("ten").has_value());
  EXPECT_FALSE(ToSingle("").has_value());
}

// The worked examples, as they end up in a 6-character lane field.
TEST(LaneFieldFormatsTest, WorkedExamples) {
  EXPECT_EQ(PadRight(FormatText("0.5", kTimePattern), 6), "0.500 ");
  EXPECT_EQ(PadRight(FormatText("0.4567", kTimePattern), 6), "0.4567");
  EXPECT_EQ(PadRight(FormatSingle(*ToSingle("1050") * 0.01f, kDialPattern), 6), "10.50 ");
  const float difference = *ToSingle("10.62") - *ToSingle("10.50");
  EXPECT_EQ(PadRight(FormatSingle(RoundSingle(difference, 4), kTimePattern), 6), "0.120 ");
  EXPECT_EQ(PadRight(FormatSingle(RoundSingle(-0.0123f, 4), kTimePattern), 6).substr(0, 6),
            "-0.012");
}

}  // namespace
}  // namespace torvane
