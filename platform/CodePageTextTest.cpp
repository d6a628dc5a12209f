#include "CodePageText.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>

#include "AnsiText.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <clocale>
#endif

namespace torvane {
namespace {

struct PageCase {
  int32_t codePage;
  std::string bytes;
  std::string utf8;
};

void PrintTo(const PageCase& c, std::ostream* os) { *os << c.codePage; }

class CodePageTextTest : public ::testing::TestWithParam<PageCase> {};

TEST_P(CodePageTextTest, ConvertsBothWays) {
  const PageCase& c = GetParam();
  ASSERT_TRUE(CodePageSupported(c.codePage));
  EXPECT_EQ(CodePageToUtf8(c.codePage, c.bytes), c.utf8);
  EXPECT_EQ(Utf8ToCodePage(c.codePage, c.utf8), c.bytes);
}

INSTANTIATE_TEST_SUITE_P(
    Pages, CodePageTextTest,
    ::testing::Values(PageCase{1250, "\x8A\xB9 z", "\xC5\xA0\xC4\x85 z"},          // Šą
                      PageCase{1251, "\xCF\xF0\xE8", "\xD0\x9F\xD1\x80\xD0\xB8"},  // При
                      PageCase{1252, "\x80\xE9", "\xE2\x82\xAC\xC3\xA9"},          // €é
                      PageCase{437, "\x82\xB0", "\xC3\xA9\xE2\x96\x91"},           // é░
                      PageCase{850, "\x82\xD0", "\xC3\xA9\xC3\xB0"},               // éð
                      PageCase{932, "\x93\xFA\x96\x7B\xB1", "\xE6\x97\xA5\xE6\x9C\xAC\xEF\xBD\xB1"},
                      PageCase{936, "\xD6\xD0\xCE\xC4", "\xE4\xB8\xAD\xE6\x96\x87"},  // 中文
                      PageCase{949, "\xC7\xD1", "\xED\x95\x9C"},                      // 한
                      PageCase{950, "\xA4\xA4", "\xE4\xB8\xAD"},                      // 中
                      PageCase{20866, "\xF0\xD2\xC9", "\xD0\x9F\xD1\x80\xD0\xB8"},    // При
                      PageCase{28592, "\xA1\xB1", "\xC4\x84\xC4\x85"},                // Ąą
                      PageCase{28595, "\xBF\xE0\xD8", "\xD0\x9F\xD1\x80\xD0\xB8"},    // При
                      PageCase{28597, "\xC1\xE1", "\xCE\x91\xCE\xB1"},                // Αα
                      PageCase{28605, "\xA4", "\xE2\x82\xAC"},                        // €
                      PageCase{28591, "\xE9\xFF", "\xC3\xA9\xC3\xBF"},
                      PageCase{65001, "\xC3\xA9", "\xC3\xA9"}),
    [](const auto& info) { return std::to_string(info.param.codePage); });

// What a page cannot hold, in either direction, is replaced and the rest of
// the text is kept.
struct ReplacementCase {
  const char* name;
  int32_t codePage;
  bool toUtf8;
  std::string in;
  std::string out;
};

void PrintTo(const ReplacementCase& c, std::ostream* os) { *os << c.name; }

class CodePageReplacementTest : public ::testing::TestWithParam<ReplacementCase> {};

TEST_P(CodePageReplacementTest, ReplacesWhatThePageCannotHoldAndKeepsTheRest) {
  const ReplacementCase& c = GetParam();
  EXPECT_EQ(c.toUtf8 ? CodePageToUtf8(c.codePage, c.in) : Utf8ToCodePage(c.codePage, c.in), c.out);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, CodePageReplacementTest,
    ::testing::Values(
        ReplacementCase{"CyrillicHasNoAccentsOrSnowman", 1251, false, "a\xC3\xA9\xE2\x98\x83z",
                        "a??z"},
        ReplacementCase{"NoBestFitLookAlike", 1250, false, "\xC4\x81", "?"},  // ā is not 'a'
        ReplacementCase{"JapaneseWithoutAccent", 932, false, "a\xC3\xA9\xE6\x97\xA5", "a?\x93\xFA"},
        ReplacementCase{"LatinCyrillicWithoutEuro", 28595, false, "\xE2\x82\xAC!", "?!"},
        ReplacementCase{"OemWithoutEuro", 437, false, "x\xE2\x82\xAC", "x?"},
        ReplacementCase{"MalformedUtf8", 1251, false,
                        "a\xFF"
                        "b",
                        "a?b"},
        ReplacementCase{"LatinOneAboveItsRange", 28591, false, "\xC3\xA9\xE2\x82\xAC", "\xE9?"},
        ReplacementCase{"AsciiAboveItsRange", 20127, false, "\xC3\xA9z", "?z"},
        ReplacementCase{"LeadByteCutShort", 932, true, "a\x82", "a\xEF\xBF\xBD"},
        ReplacementCase{"LeadByteWithoutTrail", 932, true, "\x81 z", "\xEF\xBF\xBD z"},
        ReplacementCase{"AsciiReadsHighBytesAsQuestionMarks", 20127, true, "\xE9z", "?z"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(CodePageTextTest, PagesTheSystemCannotConvertActAsWindows1252) {
  for (int32_t codePage : {12345, -5, 1200, 99999}) {
    SCOPED_TRACE(codePage);
    EXPECT_FALSE(CodePageSupported(codePage));
    EXPECT_EQ(CodePageToUtf8(codePage, "\x80\xE9"), AnsiToUtf8("\x80\xE9"));
    EXPECT_EQ(Utf8ToCodePage(codePage, "\xE2\x82\xAC\xC3\xA9"), "\x80\xE9");
  }
}

TEST(CodePageTextTest, PageZeroIsTheSystemAnsiCodePage) {
  const int32_t ansi = SystemAnsiCodePage();
#ifdef _WIN32
  EXPECT_EQ(ansi, static_cast<int32_t>(GetACP()));
#endif
  EXPECT_TRUE(CodePageSupported(0));
  std::string all;
  for (int b = 0x20; b < 256; ++b) all += static_cast<char>(b);
  EXPECT_EQ(CodePageToUtf8(0, all), CodePageToUtf8(ansi, all));
  EXPECT_EQ(Utf8ToCodePage(0, "\xC3\xA9\xE2\x82\xAC"),
            Utf8ToCodePage(ansi, "\xC3\xA9\xE2\x82\xAC"));
}

TEST(CodePageTextTest, LongTextConvertsWhole) {
  std::string bytes;
  std::string utf8;
  for (int i = 0; i < 5000; ++i) {
    bytes += "\x93\xFA-";
    utf8 += "\xE6\x97\xA5-";
  }
  EXPECT_EQ(CodePageToUtf8(932, bytes), utf8);
  EXPECT_EQ(Utf8ToCodePage(932, utf8), bytes);
}

#ifndef _WIN32
struct CodesetCase {
  const char* codeset;
  int32_t codePage;
};

void PrintTo(const CodesetCase& c, std::ostream* os) { *os << c.codeset; }

class CodesetTest : public ::testing::TestWithParam<CodesetCase> {};

TEST_P(CodesetTest, NamesItsCodePage) {
  EXPECT_EQ(CodePageOfCodeset(GetParam().codeset), GetParam().codePage);
}

INSTANTIATE_TEST_SUITE_P(
    Names, CodesetTest,
    ::testing::Values(CodesetCase{"UTF-8", 65001}, CodesetCase{"utf8", 65001},
                      CodesetCase{"ISO-8859-1", 28591}, CodesetCase{"ISO-8859-5", 28595},
                      CodesetCase{"ISO-8859-15", 28605}, CodesetCase{"CP1251", 1251},
                      CodesetCase{"KOI8-R", 20866}, CodesetCase{"SHIFT_JIS", 932},
                      CodesetCase{"EUC-KR", 51949}, CodesetCase{"GB18030", 54936},
                      CodesetCase{"BIG5", 950}, CodesetCase{"ANSI_X3.4-1968", 0},
                      CodesetCase{"NO-SUCH-SET", 0}),
    [](const auto& info) {
      std::string name;
      for (const char* p = info.param.codeset; *p != '\0'; ++p) {
        name += (*p >= 'A' && *p <= 'Z') || (*p >= 'a' && *p <= 'z') || (*p >= '0' && *p <= '9')
                    ? *p
                    : '_';
      }
      return name;
    });

// The locale the program chose decides; the C locale's ASCII is no choice.
TEST(CodePageTextTest, SystemAnsiCodePageFollowsTheProgramsLocale) {
  const std::string saved = std::setlocale(LC_CTYPE, nullptr);
  ASSERT_NE(std::setlocale(LC_CTYPE, "C.UTF-8"), nullptr);
  EXPECT_EQ(SystemAnsiCodePage(), 65001);
  EXPECT_EQ(CodePageToUtf8(0, "\xC3\xA9"), "\xC3\xA9");
  ASSERT_NE(std::setlocale(LC_CTYPE, "C"), nullptr);
  EXPECT_EQ(SystemAnsiCodePage(), 1252);
  EXPECT_EQ(CodePageToUtf8(0, "\xE9"), "\xC3\xA9");
  std::setlocale(LC_CTYPE, saved.c_str());
}
#endif

}  // namespace
}  // namespace torvane
