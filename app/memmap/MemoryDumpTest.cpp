#include "MemoryDump.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "TempFolder.h"

namespace torvane {
namespace {

class MemoryDumpTest : public ::testing::Test {
 protected:
  std::string Path(const std::string& name) const { return folder_.File(name); }
  static std::string ReadAll(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), {});
  }

  TempFolder folder_;
};

TEST_F(MemoryDumpTest, Has32738CrLfLinesOfDecimalBytes) {
  MapImageBytes image{};
  image[0] = 1;
  image[1] = 255;
  image[32737] = 42;
  image[32738] = 99;  // past the dump
  const std::string text = FormatMemoryDump(image);
  EXPECT_EQ(text.substr(0, 10), "1\r\n255\r\n0\r");
  size_t lines = 0;
  for (size_t i = 0; i + 1 < text.size(); ++i) {
    if (text[i] == '\r' && text[i + 1] == '\n') ++lines;
  }
  EXPECT_EQ(lines, 32738U);
  EXPECT_EQ(text.substr(text.size() - 4), "42\r\n");
}

TEST_F(MemoryDumpTest, WrittenDumpReadsBack) {
  MapImageBytes image{};
  for (size_t a = 0; a < image.size(); ++a) image[a] = static_cast<uint8_t>(a * 7);
  std::string error;
  ASSERT_TRUE(WriteMemoryDump(Path("MemoryDump.csv"), image, &error)) << error;
  const auto bytes = ReadImageFile(Path("MemoryDump.csv"), &error);
  ASSERT_TRUE(bytes) << error;
  ASSERT_EQ(bytes->size(), 32738U);
  EXPECT_TRUE(std::equal(bytes->begin(), bytes->end(), image.begin()));
}

TEST_F(MemoryDumpTest, RawImageFileIsTakenAsItStands) {
  std::string raw(32769, '\0');
  raw[5] = '\x10';
  raw[32768] = '\x7F';
  std::ofstream(Path("image.bin"), std::ios::binary) << raw;
  const auto bytes = ReadImageFile(Path("image.bin"));
  ASSERT_TRUE(bytes);
  ASSERT_EQ(bytes->size(), 32769U);
  EXPECT_EQ((*bytes)[5], 0x10);
  EXPECT_EQ((*bytes)[32768], 0x7F);
}

struct ParseCase {
  const char* text;
  bool ok;
  size_t size;
};

class ParseMemoryDumpTest : public ::testing::TestWithParam<ParseCase> {};

TEST_P(ParseMemoryDumpTest, AcceptsOnlyByteValues) {
  std::string error;
  const auto bytes = ParseMemoryDump(GetParam().text, &error);
  EXPECT_EQ(bytes.has_value(), GetParam().ok) << GetParam().text;
  if (bytes) {
    EXPECT_EQ(bytes->size(), GetParam().size);
  } else {
    EXPECT_NE(error.find("line"), std::string::npos);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Texts, ParseMemoryDumpTest,
    ::testing::Values(ParseCase{"1\r\n2\r\n", true, 2}, ParseCase{"1\n2", true, 2},
                      ParseCase{"", true, 0}, ParseCase{"255\r\n", true, 1},
                      ParseCase{"256\r\n", false, 0}, ParseCase{"-1\r\n", false, 0},
                      ParseCase{"1\r\n\r\n2\r\n", false, 0}, ParseCase{"abc", false, 0},
                      ParseCase{"12 \r\n", false, 0}, ParseCase{"0001\r\n", false, 0}));

TEST_F(MemoryDumpTest, UnwritablePathIsReported) {
  std::string error;
  EXPECT_FALSE(WriteMemoryDump(Path("no/such/folder/dump.csv"), MapImageBytes{}, &error));
  EXPECT_FALSE(error.empty());
  EXPECT_FALSE(ReadImageFile(Path("missing.csv"), &error));
}

}  // namespace
}  // namespace torvane
