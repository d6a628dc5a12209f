#include "PageFile.h"

#include <gtest/gtest.h>

namespace torvane {
namespace {

struct FieldsCase {
  const char* name;
  std::string text;
  std::vector<std::string> fields;
};
void PrintTo(const FieldsCase& c, std::ostream* os) { *os << c.name; }

class PageFileFieldsTest : public ::testing::TestWithParam<FieldsCase> {};

TEST_P(PageFileFieldsTest, Fields) {
  EXPECT_EQ(ReadPageFields(GetParam().text), GetParam().fields);
}

INSTANTIATE_TEST_SUITE_P(
    Files, PageFileFieldsTest,
    ::testing::Values(
        FieldsCase{"CommaInFirstLineFillsTwoLines", "A,B\r\nC\r\n", {"A", "B", "C"}},
        FieldsCase{"QuotedCommaStays", "\"A,B\",C\r\n", {"A,B", "C"}},
        FieldsCase{"LfAlone", "ONE\nTWO\n", {"ONE", "TWO"}},
        FieldsCase{"CrAlone", "ONE\rTWO\r", {"ONE", "TWO"}},
        FieldsCase{"LastLineWithoutEndIsRead", "ONE\r\nTWO", {"ONE", "TWO"}},
        FieldsCase{"EmptyLineIsAnEmptyField", "ONE\r\n\r\nTWO\r\n", {"ONE", "", "TWO"}},
        FieldsCase{"LeadingAndTrailingSpacesStay", "  PADDED  \r\n", {"  PADDED  "}},
        FieldsCase{"CentredLineStays", "     SUPER PRO      \r\n", {"     SUPER PRO      "}},
        FieldsCase{"TabsStay", "\tTAB\t\r\n", {"\tTAB\t"}},
        FieldsCase{"SpacesAroundCommasStay", " A , B \r\n", {" A ", " B "}},
        FieldsCase{"BlankLineStays", "    \r\n", {"    "}},
        FieldsCase{"QuotedFieldKeepsSpaces", "\"  KEEP  \"\r\n", {"  KEEP  "}},
        FieldsCase{"BlanksBeforeAQuoteAreSkipped", "A,  \"B,C\"\r\n", {"A", "B,C"}},
        FieldsCase{"UnclosedQuoteRunsToLineEnd", "\"OPEN,END\r\nNEXT\r\n", {"OPEN,END", "NEXT"}},
        FieldsCase{"EmptyFile", "", {}}),
    [](const auto& info) { return std::string(info.param.name); });

// A file's bytes as read (single-byte text: é is 0xE9, € 0x80), and then
// written again.
struct EncodingCase {
  const char* name;
  std::string file;
  std::vector<std::string> fields;
  std::string written;  // the fields written back
};
void PrintTo(const EncodingCase& c, std::ostream* os) { *os << c.name; }

class PageFileEncodingTest : public ::testing::TestWithParam<EncodingCase> {};

TEST_P(PageFileEncodingTest, ReadsAndWritesBack) {
  const EncodingCase& c = GetParam();
  const std::vector<std::string> fields = ReadPageFile(c.file);
  EXPECT_EQ(fields, c.fields);
  EXPECT_EQ(WritePageLines(fields), c.written);
}

INSTANTIATE_TEST_SUITE_P(
    Files, PageFileEncodingTest,
    ::testing::Values(
        // A Windows-1252 file comes back byte for byte.
        EncodingCase{"Windows1252RoundTrips",
                     "CAF\xC9 \x80"
                     "5\r\n  Ren\xE9  \r\n",
                     {"CAF\xC9 \x80"
                      "5",
                      "  Ren\xE9  "},
                     "CAF\xC9 \x80"
                     "5\r\n  Ren\xE9  \r\n"},
        EncodingCase{"AsciiRoundTrips", "  LANE 1  \r\n", {"  LANE 1  "}, "  LANE 1  \r\n"},
        // Files written as UTF-8 still read, and are written in the code page.
        EncodingCase{"Utf8IsRead",
                     "CAF\xC3\x89 \xE2\x82\xAC"
                     "5\r\n",
                     {"CAF\xC9 \x80"
                      "5"},
                     "CAF\xC9 \x80"
                     "5\r\n"},
        EncodingCase{
            "Utf8WithByteOrderMark", "\xEF\xBB\xBFRen\xC3\xA9\r\n", {"Ren\xE9"}, "Ren\xE9\r\n"},
        EncodingCase{
            "ByteOrderMarkOnAsciiIsDropped", "\xEF\xBB\xBFPLAIN\r\n", {"PLAIN"}, "PLAIN\r\n"},
        // One byte that cannot be UTF-8 makes the whole file Windows-1252,
        // even where another part of it would read as UTF-8.
        EncodingCase{"MixedIsWindows1252",
                     "\xC3\xA9,\xE9\r\n",
                     {"\xC3\xA9", "\xE9"},
                     "\xC3\xA9\r\n\xE9\r\n"},
        EncodingCase{"OverlongUtf8IsWindows1252", "\xC0\xAF\r\n", {"\xC0\xAF"}, "\xC0\xAF\r\n"},
        EncodingCase{"TruncatedUtf8IsWindows1252", "AB\xE2\x82", {"AB\xE2\x82"}, "AB\xE2\x82\r\n"},
        EncodingCase{
            "SurrogateIsWindows1252", "\xED\xA0\x80\r\n", {"\xED\xA0\x80"}, "\xED\xA0\x80\r\n"},
        // Not in the code page: the character becomes '?'.
        EncodingCase{"Utf8BeyondTheCodePage", "\xE2\x98\x85 STAR\r\n", {"? STAR"}, "? STAR\r\n"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(PageFileWriteTest, EveryLineEndsCrLfAsItStands) {
  EXPECT_EQ(WritePageLines({"A,B  ", ""}), "A,B  \r\n\r\n");
}

}  // namespace
}  // namespace torvane
