#include "FeedRecording.h"

#include <gtest/gtest.h>

namespace torvane::sim {
namespace {

TEST(FeedRecordingTest, EveryByteValueSurvivesTheRoundTrip) {
  std::string all;
  for (int b = 0; b < 256; ++b) all += static_cast<char>(b);
  const std::vector<FeedChunk> chunks = {
      {0, FeedStream::kCommand, all},
      {15, FeedStream::kTagged, "L00.512\r\n"},
      {15, FeedStream::kCommand, std::string("~AS\0PRO\r", 8)},
      {90'000'000, FeedStream::kTagged, "trailing spaces  "},
  };
  std::string text = RecordingHeader();
  for (const FeedChunk& c : chunks) text += FormatChunkLine(c);
  std::string error;
  const std::optional<std::vector<FeedChunk>> parsed = ParseRecording(text, &error);
  ASSERT_TRUE(parsed) << error;
  EXPECT_EQ(*parsed, chunks);
}

TEST(FeedRecordingTest, LinesAreReadableText) {
  EXPECT_EQ(FormatChunkLine({1234, FeedStream::kCommand,
                             std::string("~TL\x01"
                                         "0.5\r\\",
                                         9)}),
            "1234 C ~TL\\x010.5\\r\\\\\n");
  EXPECT_EQ(FormatChunkLine({0, FeedStream::kTagged, "w-LEFT\r\n\t\x7F\xE9"}),
            "0 T w-LEFT\\r\\n\\t\\x7F\\xE9\n");
}

TEST(FeedRecordingTest, CommentsBlankLinesAndWindowsLineEndsAreAccepted) {
  const std::optional<std::vector<FeedChunk>> parsed =
      ParseRecording("# made by hand\r\n\r\n5 T AB\\r\r\n6 C ~TB 7.0\\r");
  ASSERT_TRUE(parsed);
  ASSERT_EQ(parsed->size(), 2u);
  EXPECT_EQ((*parsed)[0], (FeedChunk{5, FeedStream::kTagged, "AB\r"}));
  EXPECT_EQ((*parsed)[1], (FeedChunk{6, FeedStream::kCommand, "~TB 7.0\r"}));
}

TEST(FeedRecordingTest, BadLinesNameTheirLine) {
  const std::vector<std::pair<std::string, std::string>> table = {
      {"x C abc", "line 1: a time in milliseconds is missing"},
      {"-5 C abc", "line 1: a time in milliseconds is missing"},
      {"# c\n10 X abc", "line 2: the time must be followed by \" C \" or \" T \""},
      {"10 C", "line 1: the time must be followed by \" C \" or \" T \""},
      {"10C abc", "line 1: the time must be followed by \" C \" or \" T \""},
      {"10 C ab\\", "line 1: a backslash ends the line"},
      {"10 C \\q", "line 1: unknown escape \\q"},
      {"10 C \\x4", "line 1: \\x wants two hex digits"},
      {"10 C \\xG0", "line 1: \\x wants two hex digits"},
      {"10 C a\n9 C b", "line 2: the time goes back"},
  };
  for (const auto& [text, message] : table) {
    SCOPED_TRACE(text);
    std::string error;
    EXPECT_FALSE(ParseRecording(text, &error));
    EXPECT_EQ(error, message);
  }
}

TEST(FeedRecordingTest, EmptyRecordingHasNoChunks) {
  const auto parsed = ParseRecording(RecordingHeader());
  ASSERT_TRUE(parsed);
  EXPECT_TRUE(parsed->empty());
}

}  // namespace
}  // namespace torvane::sim
