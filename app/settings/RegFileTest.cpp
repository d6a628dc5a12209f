#include "RegFile.h"

#include <gtest/gtest.h>

#include <string>

namespace torvane {
namespace {

constexpr std::string_view kHive = "HKEY_CURRENT_USER";

const RegValue* ValueAt(const KeyTree& tree, std::string_view key, std::string_view name) {
  const RegKey* found = tree.FindKey(key);
  return found == nullptr ? nullptr : found->FindValue(name);
}

TEST(RegFileTest, SerializesThePinnedFormat) {
  KeyTree tree;
  RegKey* main = tree.CreateKey("SOFTWARE\\TorvaneTX\\Main");
  main->SetValue("PageDelay", RegValue{1, "5  "});
  main->SetValue("DelayEverything", *ValueFromNumber(31, 4));
  main->SetValue("", RegValue{1, "say \"hi\" C:\\x"});
  main->SetValue("Stamp", *ValueFromNumber(1, 8));
  main->SetValue("Tab", RegValue{1, "a\tb"});
  main->SetValue("Empty", RegValue{1, ""});
  tree.CreateKey("SOFTWARE\\TorvaneTX\\PageSettings\\1")->SetValue("Title", RegValue{1, "Caf\xE9"});
  tree.CreateKey("SOFTWARE\\Other")->SetValue("Blob", RegValue{3, "\x01\xff"});
  tree.CreateKey("SOFTWARE\\Other")->SetValue("Odd", RegValue{11, ""});

  EXPECT_EQ(SerializeRegFile(tree, kHive),
            "REGEDIT4\n"
            "\n"
            "[HKEY_CURRENT_USER\\SOFTWARE]\n"
            "\n"
            "[HKEY_CURRENT_USER\\SOFTWARE\\TorvaneTX]\n"
            "\n"
            "[HKEY_CURRENT_USER\\SOFTWARE\\TorvaneTX\\Main]\n"
            "\"PageDelay\"=\"5  \"\n"
            "\"DelayEverything\"=dword:0000001f\n"
            "@=\"say \\\"hi\\\" C:\\\\x\"\n"
            "\"Stamp\"=hex(8):00,00,00,00,00,00,f0,3f\n"
            "\"Tab\"=hex(1):61,09,62,00\n"
            "\"Empty\"=\"\"\n"
            "\n"
            "[HKEY_CURRENT_USER\\SOFTWARE\\TorvaneTX\\PageSettings]\n"
            "\n"
            "[HKEY_CURRENT_USER\\SOFTWARE\\TorvaneTX\\PageSettings\\1]\n"
            "\"Title\"=\"Caf\xC3\xA9\"\n"
            "\n"
            "[HKEY_CURRENT_USER\\SOFTWARE\\Other]\n"
            "\"Blob\"=hex:01,ff\n"
            "\"Odd\"=hex(b):\n"
            "\n");
}

TEST(RegFileTest, EmptyTreeAndRootValues) {
  KeyTree tree;
  EXPECT_EQ(SerializeRegFile(tree, kHive), "REGEDIT4\n\n");
  tree.Root().SetValue("Top", RegValue{1, "1"});
  const std::string text = SerializeRegFile(tree, kHive);
  EXPECT_EQ(text, "REGEDIT4\n\n[HKEY_CURRENT_USER]\n\"Top\"=\"1\"\n\n");
  const RegFileParse parsed = ParseRegFile(text, kHive);
  ASSERT_TRUE(parsed.ok);
  EXPECT_TRUE(parsed.tree.SameContent(tree));
}

TEST(RegFileTest, SerializedTreeParsesToTheSameTree) {
  KeyTree tree;
  std::string allBytes;
  for (int byte = 0; byte <= 255; ++byte) allBytes += static_cast<char>(byte);
  RegKey* key = tree.CreateKey("A\\B \\ C]");
  key->SetValue("all", RegValue{1, allBytes});
  key->SetValue("\"quoted\\name\"", RegValue{1, "\\"});
  key->SetValue("@", RegValue{1, "at"});
  key->SetValue("raw", RegValue{0, std::string("\0\1", 2)});
  key->SetValue("short dword", RegValue{4, "\1\2"});
  key->SetValue("date", *ValueFromText("2000-01-01 12:00:00", 8));
  tree.CreateKey("Empty\\Key");
  tree.CreateKey("\xE9\xC4 high");

  const RegFileParse parsed = ParseRegFile(SerializeRegFile(tree, kHive), kHive);
  ASSERT_TRUE(parsed.ok) << parsed.errorLine << ": " << parsed.error;
  EXPECT_TRUE(parsed.tree.SameContent(tree));
}

struct ParseCase {
  const char* name;
  std::string text;
  std::string key;
  std::string value;
  RegValue expected;
};

class RegFileParseTest : public testing::TestWithParam<ParseCase> {};

TEST_P(RegFileParseTest, ReadsTheValue) {
  const auto& param = GetParam();
  const RegFileParse parsed = ParseRegFile(param.text, kHive);
  ASSERT_TRUE(parsed.ok) << "line " << parsed.errorLine << ": " << parsed.error;
  const RegValue* value = ValueAt(parsed.tree, param.key, param.value);
  ASSERT_NE(value, nullptr);
  EXPECT_EQ(value->type, param.expected.type);
  EXPECT_EQ(value->data, param.expected.data);
}

// text (Latin-1) as a UTF-16LE file with its byte order mark.
std::string Utf16LeFile(std::string_view text) {
  std::string file = "\xFF\xFE";
  for (char c : text) {
    file += c;
    file += '\0';
  }
  return file;
}

const std::string kHeader = "REGEDIT4\n\n[HKEY_CURRENT_USER\\K]\n";

INSTANTIATE_TEST_SUITE_P(
    Forms, RegFileParseTest,
    testing::Values(
        ParseCase{"Text", kHeader + "\"A\"=\"x y \"\n", "K", "A", {1, "x y "}},
        ParseCase{"Escapes", kHeader + "\"A\"=\"\\\\ \\\" \\n\"\n", "K", "A", {1, "\\ \" \\n"}},
        ParseCase{"EscapedName", kHeader + "\"a\\\"b\"=\"1\"\n", "K", "a\"b", {1, "1"}},
        ParseCase{
            "Utf8Text", kHeader + "\"A\"=\"\xE2\x82\xAC\xC3\xBF\"\n", "K", "A", {1, "\x80\xFF"}},
        ParseCase{"DefaultValue", kHeader + "@=\"d\"\n", "K", "", {1, "d"}},
        ParseCase{"SpacesAroundEquals", kHeader + "\"A\" = \"1\"  \n", "K", "A", {1, "1"}},
        ParseCase{"Dword",
                  kHeader + "\"A\"=dword:0000001F\n",
                  "K",
                  "A",
                  {4, std::string("\x1f\0\0\0", 4)}},
        ParseCase{"ShortDword",
                  kHeader + "\"A\"=DWORD:ff\n",
                  "K",
                  "A",
                  {4, std::string("\xff\0\0\0", 4)}},
        ParseCase{"Binary", kHeader + "\"A\"=hex:0a, b ,FF\n", "K", "A", {3, "\x0a\x0b\xff"}},
        ParseCase{"EmptyBinary", kHeader + "\"A\"=hex:\n", "K", "A", {3, ""}},
        ParseCase{"HexText", kHeader + "\"A\"=hex(1):41,0d,0a,00\n", "K", "A", {1, "A\r\n"}},
        ParseCase{"HexTextWithoutNul", kHeader + "\"A\"=hex(1):41,42\n", "K", "A", {1, "AB"}},
        ParseCase{"HexTypeInHex", kHeader + "\"A\"=hex(b):01\n", "K", "A", {11, "\x01"}},
        ParseCase{"Continuation",
                  kHeader + "\"A\"=hex:01,02,\\\n  03,\\\r\n  04\n",
                  "K",
                  "A",
                  {3, "\x01\x02\x03\x04"}},
        ParseCase{"Crlf",
                  "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\K]\r\n\"A\"=\"1\"\r\n",
                  "K",
                  "A",
                  {1, "1"}},
        ParseCase{"Utf8Bom",
                  "\xEF\xBB\xBFREGEDIT4\n[HKEY_CURRENT_USER\\K]\n\"A\"=\"1\"\n",
                  "K",
                  "A",
                  {1, "1"}},
        ParseCase{"CommentsAndIndent",
                  "; top\nREGEDIT4\n; c\n  [HKEY_CURRENT_USER\\K]  \n  ; c\n \"A\"=\"1\"\n",
                  "K",
                  "A",
                  {1, "1"}},
        ParseCase{"HiveNameAnyCase",
                  "REGEDIT4\n[hkey_current_user\\K]\n\"A\"=\"1\"\n",
                  "K",
                  "A",
                  {1, "1"}},
        ParseCase{"ImpliedParents",
                  "REGEDIT4\n[HKEY_CURRENT_USER\\K\\L\\M]\n\"A\"=\"1\"\n",
                  "k\\l\\m",
                  "a",
                  {1, "1"}},
        ParseCase{
            "KeyNamedTwiceMerges",
            kHeader + "\"A\"=\"1\"\n[HKEY_CURRENT_USER\\X]\n[HKEY_CURRENT_USER\\k]\n\"B\"=\"2\"\n",
            "K",
            "A",
            {1, "1"}},
        ParseCase{"LastValueWins", kHeader + "\"A\"=\"1\"\n\"a\"=\"2\"\n", "K", "A", {1, "2"}},
        ParseCase{"Version5UnicodeHex",
                  "Windows Registry Editor Version "
                  "5.00\n\n[HKEY_CURRENT_USER\\K]\n\"A\"=hex(1):41,00,ac,20,00,00\n",
                  "K",
                  "A",
                  {1, "A\x80"}},
        ParseCase{
            "Version5PlainText",
            "Windows Registry Editor Version 5.00\n[HKEY_CURRENT_USER\\K]\n\"A\"=\"\xC3\xA9\"\n",
            "K",
            "A",
            {1, "\xE9"}},
        ParseCase{"Utf16File",
                  Utf16LeFile("REGEDIT4\n[HKEY_CURRENT_USER\\K]\n\"A\"=\"\xE9\"\n"),
                  "K",
                  "A",
                  {1, "\xE9"}}),
    [](const testing::TestParamInfo<ParseCase>& info) { return std::string(info.param.name); });

TEST(RegFileTest, RemovalLines) {
  const RegFileParse parsed = ParseRegFile(
      "REGEDIT4\n[HKEY_CURRENT_USER\\K]\n\"A\"=\"1\"\n\"B\"=\"2\"\n\"A\"=-\n"
      "[HKEY_CURRENT_USER\\K\\Sub]\n\"C\"=\"3\"\n[-HKEY_CURRENT_USER\\K\\Sub]\n",
      kHive);
  ASSERT_TRUE(parsed.ok) << parsed.error;
  EXPECT_EQ(ValueAt(parsed.tree, "K", "A"), nullptr);
  EXPECT_NE(ValueAt(parsed.tree, "K", "B"), nullptr);
  EXPECT_EQ(parsed.tree.FindKey("K\\Sub"), nullptr);
}

TEST(RegFileTest, BlankFilesAreEmptyHives) {
  for (const char* text : {"", "\n\n", "\r\n", "   \n\t\n"}) {
    SCOPED_TRACE(testing::PrintToString(text));
    const RegFileParse parsed = ParseRegFile(text, kHive);
    EXPECT_TRUE(parsed.ok);
    EXPECT_EQ(parsed.tree.Root().SubkeyCount(), 0u);
  }
}

struct FaultCase {
  const char* name;
  std::string text;
  size_t line;
};

class RegFileFaultTest : public testing::TestWithParam<FaultCase> {};

TEST_P(RegFileFaultTest, ReportsTheFailingLine) {
  const RegFileParse parsed = ParseRegFile(GetParam().text, kHive);
  EXPECT_FALSE(parsed.ok);
  EXPECT_EQ(parsed.errorLine, GetParam().line) << parsed.error;
  EXPECT_FALSE(parsed.error.empty());
}

INSTANTIATE_TEST_SUITE_P(
    Faults, RegFileFaultTest,
    testing::Values(
        FaultCase{"NoHeader", "[HKEY_CURRENT_USER\\K]\n", 1},
        FaultCase{"WrongHeader", "\n\nREGEDIT5\n", 3},
        FaultCase{"ValueBeforeKey", "REGEDIT4\n\n\"A\"=\"1\"\n", 3},
        FaultCase{"OtherHive", "REGEDIT4\n[HKEY_LOCAL_MACHINE\\K]\n", 2},
        FaultCase{"HivePrefixOnly", "REGEDIT4\n[HKEY_CURRENT_USERX\\K]\n", 2},
        FaultCase{"UnclosedKey", "REGEDIT4\n[HKEY_CURRENT_USER\\K\n", 2},
        FaultCase{"UnclosedName", kHeader + "\"A=\"1\n", 4},
        FaultCase{"UnclosedText", kHeader + "\"A\"=\"1\n", 4},
        FaultCase{"TextThenJunk", kHeader + "\"A\"=\"1\" x\n", 4},
        FaultCase{"NoEquals", kHeader + "\"A\" \"1\"\n", 4},
        FaultCase{"UnknownData", kHeader + "\"A\"=qword:1\n", 4},
        FaultCase{"BareWord", kHeader + "A=1\n", 4},
        FaultCase{"DwordTooLong", kHeader + "\"A\"=dword:000000001\n", 4},
        FaultCase{"DwordNotHex", kHeader + "\"A\"=dword:0000000g\n", 4},
        FaultCase{"DwordEmpty", kHeader + "\"A\"=dword:\n", 4},
        FaultCase{"HexNoColon", kHeader + "\"A\"=hex01\n", 4},
        FaultCase{"HexBadType", kHeader + "\"A\"=hex(z):01\n", 4},
        FaultCase{"HexEmptyType", kHeader + "\"A\"=hex():01\n", 4},
        FaultCase{"HexBadByte", kHeader + "\"A\"=hex:01,zz\n", 4},
        FaultCase{"HexNoComma", kHeader + "\"A\"=hex:01 02\n", 4},
        FaultCase{"HexThreeDigits", kHeader + "\"A\"=hex:012\n", 4},
        FaultCase{"ContinuationFault", kHeader + "\"A\"=hex:01,\\\n  02,\\\n  x\n", 6},
        FaultCase{"ContinuationPastEnd", kHeader + "\"A\"=hex:01,\\", 4},
        FaultCase{"Version5OddUnicode",
                  "Windows Registry Editor Version 5.00\n[HKEY_CURRENT_USER\\K]\n\"A\"=hex(1):41\n",
                  3},
        FaultCase{"CrlfKeepsNumbers",
                  "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\K]\r\n\"A\"=\"1\"\r\n\"B\"=?\r\n", 5}),
    [](const testing::TestParamInfo<FaultCase>& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace torvane
