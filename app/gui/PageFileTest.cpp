#include "PageFile.h"

#include <gtest/gtest.h>

namespace torvane {
namespace {

struct FieldsCase {
  const char* name;
  std::string text;
  std::vector<std::string> fields;
};

class PageFileFieldsTest : public ::testing::TestWithParam<FieldsCase> {};

TEST_P(PageFileFieldsTest, Fields) { EXPECT_EQ(ReadPageFields(GetParam().text), GetParam().fields); }

INSTANTIATE_TEST_SUITE_P(
    Files, PageFileFieldsTest,
    ::testing::Values(
        FieldsCase{"CommaInFirstLineFillsTwoLines", "A,B\r\nC\r\n", {"A", "B", "C"}},
        FieldsCase{"QuotedCommaStays", "\"A,B\",C\r\n", {"A,B", "C"}},
        FieldsCase{"LfAlone", "ONE\nTWO\n", {"ONE", "TWO"}},
        FieldsCase{"CrAlone", "ONE\rTWO\r", {"ONE", "TWO"}},
        FieldsCase{"LastLineWithoutEndIsRead", "ONE\r\nTWO", {"ONE", "TWO"}},
        FieldsCase{"EmptyLineIsAnEmptyField", "ONE\r\n\r\nTWO\r\n", {"ONE", "", "TWO"}},
        FieldsCase{"UnquotedFieldTrimmed", "  PADDED  \r\n", {"PADDED"}},
        FieldsCase{"QuotedFieldKeepsSpaces", "\"  KEEP  \"\r\n", {"  KEEP  "}},
        FieldsCase{"UnclosedQuoteRunsToLineEnd", "\"OPEN,END\r\nNEXT\r\n", {"OPEN,END", "NEXT"}},
        FieldsCase{"EmptyFile", "", {}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(PageFileWriteTest, EveryLineEndsCrLfAsItStands) {
  EXPECT_EQ(WritePageLines({"A,B  ", ""}), "A,B  \r\n\r\n");
}

}  // namespace
}  // namespace torvane
