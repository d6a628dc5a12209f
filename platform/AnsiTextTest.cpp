#include "AnsiText.h"

#include <gtest/gtest.h>

namespace torvane {
namespace {

TEST(AnsiTextTest, EveryByteRoundTrips) {
  std::string all;
  for (int b = 0; b < 256; ++b) all += static_cast<char>(b);
  EXPECT_EQ(Utf8ToAnsi(AnsiToUtf8(all)), all);
}

struct Mapping {
  const char* ansi;
  const char* utf8;
};

class AnsiMappingTest : public ::testing::TestWithParam<Mapping> {};

TEST_P(AnsiMappingTest, ConvertsBothWays) {
  EXPECT_EQ(AnsiToUtf8(GetParam().ansi), GetParam().utf8);
  EXPECT_EQ(Utf8ToAnsi(GetParam().utf8), GetParam().ansi);
}

INSTANTIATE_TEST_SUITE_P(
    CodePage, AnsiMappingTest,
    ::testing::Values(Mapping{"ABC 123", "ABC 123"}, Mapping{"\x80", "\xE2\x82\xAC"},  // euro
                      Mapping{"\xE9t\xE9", "\xC3\xA9t\xC3\xA9"},                    // été
                      Mapping{"\x9F", "\xC5\xB8"},                                   // Ÿ
                      Mapping{"\x81", "\xC2\x81"},  // undefined byte keeps its value
                      Mapping{"\xA0\xFF", "\xC2\xA0\xC3\xBF"}));

TEST(AnsiTextTest, UnmappableCodePointsBecomeQuestionMarks) {
  EXPECT_EQ(Utf8ToAnsi("\xE2\x98\x83"), "?");      // snowman
  EXPECT_EQ(Utf8ToAnsi("\xF0\x9F\x8F\x81"), "?");  // chequered flag
}

TEST(AnsiTextTest, MalformedUtf8IsTakenByteForByte) {
  EXPECT_EQ(Utf8ToAnsi("a\xE9z"), "a\xE9z");        // lone Latin-1 byte
  EXPECT_EQ(Utf8ToAnsi("\xC3"), "\xC3");            // cut short
  EXPECT_EQ(Utf8ToAnsi("\xC0\xAF"), "\xC0\xAF");    // overlong
  EXPECT_EQ(Utf8ToAnsi("\xED\xA0\x80"), "\xED\xA0\x80");  // surrogate
}

}  // namespace
}  // namespace torvane
