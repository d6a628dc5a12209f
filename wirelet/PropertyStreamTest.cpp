#include "PropertyStream.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

namespace torvane {
namespace {

using Bytes = std::vector<uint8_t>;

MemoryPropertyBag SampleBag() {
  MemoryPropertyBag bag;
  bag.Write("Timeout", Variant::I2(-7));
  bag.Write("RemotePort", Variant::I4(65535));
  bag.Write("RemoteHost", Variant::String("timing.local"));
  bag.Write("LocalPort", Variant::I4(-2147483647 - 1));
  bag.Write("Linger", Variant::Bool(true));
  bag.Write("KeepAlive", Variant::Bool(false));
  bag.Write("FirewallUser", Variant::String("Zo\xC3\xAB \xE2\x82\xAC"));
  bag.Write("FirewallPassword", Variant::String(""));
  return bag;
}

Bytes Encoded(const MemoryPropertyBag& bag) {
  Bytes out;
  EXPECT_EQ(EncodePropertyStream(bag, &out), kSOk);
  return out;
}

void PutLe(Bytes& out, uint32_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) out.push_back(static_cast<uint8_t>(value >> (8 * i)));
}

// A block built by hand around body, its header and checksum made to fit
// unless a case overrides them.
Bytes Seal(const Bytes& body, uint16_t count, uint16_t version = 1,
           std::optional<uint32_t> length = std::nullopt) {
  Bytes block = {'W', 'L', 'P', 'S'};
  PutLe(block, version, 2);
  PutLe(block, count, 2);
  PutLe(block, length.value_or(static_cast<uint32_t>(body.size())), 4);
  block.insert(block.end(), body.begin(), body.end());
  PutLe(block, PropertyStreamChecksum(block), 4);
  return block;
}

Bytes Entry(const std::string& name, uint8_t type, const Bytes& value) {
  Bytes out = {static_cast<uint8_t>(name.size())};
  out.insert(out.end(), name.begin(), name.end());
  out.push_back(type);
  out.insert(out.end(), value.begin(), value.end());
  return out;
}

Bytes Text(const std::string& text, std::optional<uint32_t> length = std::nullopt) {
  Bytes out;
  PutLe(out, length.value_or(static_cast<uint32_t>(text.size())), 4);
  out.insert(out.end(), text.begin(), text.end());
  return out;
}

Bytes operator+(Bytes a, const Bytes& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

TEST(PropertyStreamTest, ChecksumIsTheStandardCrc32) {
  const std::string check = "123456789";
  EXPECT_EQ(PropertyStreamChecksum({reinterpret_cast<const uint8_t*>(check.data()), check.size()}),
            0xCBF43926u);
}

TEST(PropertyStreamTest, EveryKindOfValueComesBack) {
  const MemoryPropertyBag bag = SampleBag();
  const Bytes block = Encoded(bag);
  size_t size = 0;
  ASSERT_EQ(PropertyStreamSize(block, &size), kSOk);
  EXPECT_EQ(size, block.size());
  MemoryPropertyBag read;
  ASSERT_EQ(DecodePropertyStream(block, &read), kSOk);
  EXPECT_EQ(read.Values(), bag.Values());
  for (const auto& [name, value] : read.Values()) {
    SCOPED_TRACE(name);
    Variant copy;
    ASSERT_EQ(read.Read(name, copy), kSOk);
    EXPECT_EQ(copy.Type(), value.Type());
  }
}

TEST(PropertyStreamTest, LayoutIsFixed) {
  MemoryPropertyBag bag;
  bag.Write("A", Variant::I2(0x0102));
  bag.Write("Bc", Variant::String("x"));
  const Bytes block = Encoded(bag);
  const Bytes expected = Seal(Entry("A", 2, {0x02, 0x01}) + Entry("Bc", 8, {1, 0, 0, 0, 'x'}), 2);
  EXPECT_EQ(block, expected);
  EXPECT_EQ(Bytes(block.begin(), block.begin() + 12),
            (Bytes{'W', 'L', 'P', 'S', 1, 0, 2, 0, 14, 0, 0, 0}));
}

// Every cut of a sound block is refused and leaves the bag untouched.
TEST(PropertyStreamTest, EveryTruncationIsRefused) {
  const Bytes block = Encoded(SampleBag());
  for (size_t length = 0; length < block.size(); ++length) {
    SCOPED_TRACE(length);
    MemoryPropertyBag read;
    read.Write("Kept", Variant::I4(1));
    const Bytes cut(block.begin(), block.begin() + static_cast<std::ptrdiff_t>(length));
    EXPECT_EQ(DecodePropertyStream(cut, &read), kStgEReadFault);
    EXPECT_EQ(read.Values().size(), 1u);
  }
}

// Every byte of a sound block, changed in any of several ways, is noticed.
TEST(PropertyStreamTest, EveryCorruptedByteIsRefused) {
  const Bytes block = Encoded(SampleBag());
  for (uint8_t mask : {0x01, 0x10, 0x80, 0xFF}) {
    for (size_t at = 0; at < block.size(); ++at) {
      SCOPED_TRACE(testing::Message() << "byte " << at << " ^ " << int{mask});
      Bytes bad = block;
      bad[at] ^= mask;
      MemoryPropertyBag read;
      EXPECT_TRUE(Failed(DecodePropertyStream(bad, &read)));
      EXPECT_TRUE(read.Values().empty());
    }
  }
  Bytes longer = block;
  longer.push_back(0);
  MemoryPropertyBag read;
  EXPECT_EQ(DecodePropertyStream(longer, &read), kStgEDocfileCorrupt);
}

struct CraftedCase {
  const char* name;
  Bytes block;
  HResult expected;
};

class CraftedBlockTest : public testing::TestWithParam<CraftedCase> {};

// Blocks whose checksum fits but whose contents break the layout.
TEST_P(CraftedBlockTest, IsRefusedWithItsCode) {
  MemoryPropertyBag read;
  EXPECT_EQ(DecodePropertyStream(GetParam().block, &read), GetParam().expected);
  if (Failed(GetParam().expected)) {
    EXPECT_TRUE(read.Values().empty());
  }
}

const Bytes kLong = Entry("RemotePort", 3, {0x88, 0x13, 0, 0});

INSTANTIATE_TEST_SUITE_P(
    PropertyStreamTest, CraftedBlockTest,
    testing::Values(
        CraftedCase{"Sound", Seal(kLong, 1), kSOk}, CraftedCase{"NoEntries", Seal({}, 0), kSOk},
        CraftedCase{"BadMagic",
                    [] {
                      Bytes b = Seal(kLong, 1);
                      b[0] = 'X';
                      return b;
                    }(),
                    kStgEDocfileCorrupt},
        CraftedCase{"VersionZero", Seal(kLong, 1, 0), kStgEDocfileCorrupt},
        CraftedCase{"LaterVersion", Seal(kLong, 1, 2), kStgEOldDll},
        CraftedCase{"TooManyEntries", Seal(kLong, 257), kStgEDocfileCorrupt},
        CraftedCase{"BodyAboveLimit", Seal(kLong, 1, 1, (1u << 20) + 1), kStgEDocfileCorrupt},
        CraftedCase{"BodyLongerThanBlock", Seal(kLong, 1, 1, 1000), kStgEReadFault},
        CraftedCase{"FewerEntriesThanCounted", Seal(kLong, 2), kStgEDocfileCorrupt},
        CraftedCase{"MoreEntriesThanCounted", Seal(kLong + Entry("Linger", 11, {1}), 1),
                    kStgEDocfileCorrupt},
        CraftedCase{"UnknownType", Seal(Entry("Linger", 9, {1}), 1), kStgEDocfileCorrupt},
        CraftedCase{"BooleanNeitherZeroNorOne", Seal(Entry("Linger", 11, {2}), 1),
                    kStgEDocfileCorrupt},
        CraftedCase{"EmptyName", Seal(Entry("", 11, {1}), 1), kStgEDocfileCorrupt},
        CraftedCase{"NameWithControlCharacter", Seal(Entry("Lin\nger", 11, {1}), 1),
                    kStgEDocfileCorrupt},
        CraftedCase{"NameLongerThanBody", Seal(Bytes{40, 'A', 'B'}, 1), kStgEDocfileCorrupt},
        CraftedCase{"DuplicateName", Seal(kLong + kLong, 2), kStgEDocfileCorrupt},
        CraftedCase{"ValueCutShort", Seal(Entry("RemotePort", 3, {0x88, 0x13}), 1),
                    kStgEDocfileCorrupt},
        CraftedCase{"TextLongerThanBody", Seal(Entry("RemoteHost", 8, Text("abc", 4)), 1),
                    kStgEDocfileCorrupt},
        CraftedCase{"TextLengthAboveLimit", Seal(Entry("RemoteHost", 8, Text("abc", 65537)), 1),
                    kStgEDocfileCorrupt},
        CraftedCase{"TextNotUtf8", Seal(Entry("RemoteHost", 8, Text("a\xFF")), 1),
                    kStgEDocfileCorrupt},
        CraftedCase{"TextOverlongUtf8", Seal(Entry("RemoteHost", 8, Text("\xC0\xAF")), 1),
                    kStgEDocfileCorrupt},
        CraftedCase{"TextCutUtf8", Seal(Entry("RemoteHost", 8, Text("a\xE2\x82")), 1),
                    kStgEDocfileCorrupt},
        CraftedCase{"TextSurrogate", Seal(Entry("RemoteHost", 8, Text("\xED\xA0\x80")), 1),
                    kStgEDocfileCorrupt}),
    [](const testing::TestParamInfo<CraftedCase>& info) { return info.param.name; });

struct RefusedEntry {
  const char* name;
  std::string property;
  Variant value;
};

class UnencodableEntryTest : public testing::TestWithParam<RefusedEntry> {};

TEST_P(UnencodableEntryTest, IsRefusedBeforeAnythingIsWritten) {
  MemoryPropertyBag bag;
  bag.Write(GetParam().property, GetParam().value);
  Bytes out = {1, 2, 3};
  EXPECT_EQ(EncodePropertyStream(bag, &out), kEInvalidArg);
  EXPECT_EQ(out, (Bytes{1, 2, 3}));
}

INSTANTIATE_TEST_SUITE_P(
    PropertyStreamTest, UnencodableEntryTest,
    testing::Values(RefusedEntry{"EmptyName", "", Variant::I4(1)},
                    RefusedEntry{"LongName", std::string(65, 'N'), Variant::I4(1)},
                    RefusedEntry{"NameWithSpace", "Remote Host", Variant::I4(1)},
                    RefusedEntry{"Bytes", "EOLB", Variant::Bytes({13, 10})},
                    RefusedEntry{"Empty", "Nothing", Variant()},
                    RefusedEntry{"LongText", "RemoteHost",
                                 Variant::String(std::string(65537, 'h'))},
                    RefusedEntry{"TextNotUtf8", "RemoteHost", Variant::String("\xFF")}),
    [](const testing::TestParamInfo<RefusedEntry>& info) { return info.param.name; });

TEST(PropertyStreamTest, TextAtTheLimitIsCarried) {
  MemoryPropertyBag bag;
  bag.Write("RemoteHost", Variant::String(std::string(kMaxPropertyStreamText, 'h')));
  MemoryPropertyBag read;
  ASSERT_EQ(DecodePropertyStream(Encoded(bag), &read), kSOk);
  EXPECT_EQ(read.Values(), bag.Values());
}

}  // namespace
}  // namespace torvane
