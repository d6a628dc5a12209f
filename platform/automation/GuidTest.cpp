#include "Guid.h"

#include <gtest/gtest.h>

namespace torvane {
namespace {

TEST(GuidTest, ParsesAndFormatsTheBracedForm) {
  std::optional<Guid> guid = Guid::Parse("{b196b286-BAB4-101a-b69c-00aa00341d07}");
  ASSERT_TRUE(guid);
  EXPECT_EQ(*guid, kIidConnectionPoint);
  EXPECT_EQ(guid->ToString(), "{B196B286-BAB4-101A-B69C-00AA00341D07}");
  EXPECT_EQ(Guid::Parse(kIidDispatch.ToString()), kIidDispatch);
}

TEST(GuidTest, RefusesMalformedText) {
  for (const char* text :
       {"", "{}", "B196B286-BAB4-101A-B69C-00AA00341D07", "{B196B286-BAB4-101A-B69C-00AA00341D0}",
        "{B196B286-BAB4-101A-B69C-00AA00341D077}", "{B196B286_BAB4-101A-B69C-00AA00341D07}",
        "{B196B286-BAB4-101A-B69C-00AA00341DG7}", "(B196B286-BAB4-101A-B69C-00AA00341D07)"}) {
    EXPECT_FALSE(Guid::Parse(text)) << text;
  }
}

}  // namespace
}  // namespace torvane
