#include "ConvertLibrary.h"

#include <dlfcn.h>
#include <gtest/gtest.h>

#include <cstring>

#include "ProgramFolder.h"

namespace torvane {
namespace {

struct Int16Case {
  int16_t value;
  uint8_t low;
  uint8_t high;
};

class Int16ToBufferTest : public ::testing::TestWithParam<Int16Case> {};

TEST_P(Int16ToBufferTest, FillsLowByteThenHighByte) {
  const Int16Case& c = GetParam();
  const Int16Buffer bytes = Int16ToBuffer(c.value);
  EXPECT_EQ(bytes.element0, c.low);
  EXPECT_EQ(bytes.element1, c.high);
}

INSTANTIATE_TEST_SUITE_P(Values, Int16ToBufferTest,
                         ::testing::Values(Int16Case{0x1234, 0x34, 0x12}, Int16Case{-1, 0xFF, 0xFF},
                                           Int16Case{272, 0x10, 0x01}, Int16Case{920, 0x98, 0x03},
                                           Int16Case{0, 0, 0}, Int16Case{-32768, 0x00, 0x80},
                                           Int16Case{32767, 0xFF, 0x7F}));

TEST(ConvertLibraryTest, MissingLibraryNamesLibraryAndEntryPoint) {
  ConvertLibrary library("libNoSuchConvert.so");
  try {
    library.Int16ToBuffer(1);
    FAIL() << "expected ConvertLibraryError";
  } catch (const ConvertLibraryError& e) {
    EXPECT_NE(std::strstr(e.what(), "libNoSuchConvert.so"), nullptr) << e.what();
    EXPECT_NE(std::strstr(e.what(), "Int16ToBuffer"), nullptr) << e.what();
  }
}

TEST(ConvertLibraryTest, LibraryWithoutTheExportNamesTheEntryPoint) {
  // The C library is loadable but has no Int16ToBuffer.
  ConvertLibrary library("libm.so.6");
  try {
    library.Int16ToBuffer(1);
    FAIL() << "expected ConvertLibraryError";
  } catch (const ConvertLibraryError& e) {
    EXPECT_NE(std::strstr(e.what(), "libm.so.6"), nullptr) << e.what();
    EXPECT_NE(std::strstr(e.what(), "no entry point Int16ToBuffer"), nullptr) << e.what();
  }
}

TEST(ConvertLibraryTest, FailedLoadIsRetriedAtTheNextCall) {
  ConvertLibrary library("libNoSuchConvert.so");
  EXPECT_THROW(library.Int16ToBuffer(1), ConvertLibraryError);
  EXPECT_THROW(library.Int16ToBuffer(1), ConvertLibraryError);
}

// The other seven exports, called through the library file as any caller would.
class ConvertExportsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    handle_ = dlopen((ProgramFolder() + "/libTorvaneConvert.so").c_str(), RTLD_NOW);
    ASSERT_NE(handle_, nullptr) << dlerror();
  }
  void TearDown() override {
    if (handle_ != nullptr) dlclose(handle_);
  }
  template <typename Fn>
  Fn Symbol(const char* name) {
    void* address = dlsym(handle_, name);
    EXPECT_NE(address, nullptr) << name;
    return reinterpret_cast<Fn>(address);
  }
  void* handle_ = nullptr;
};

TEST_F(ConvertExportsTest, ReadersDecodeLittleEndian) {
  const uint8_t int16Bytes[2] = {0xFE, 0xFF};
  EXPECT_EQ(Symbol<int16_t (*)(const uint8_t*)>("BufferToInt16")(int16Bytes), -2);
  const uint8_t longBytes[4] = {0x78, 0x56, 0x34, 0x12};
  EXPECT_EQ(Symbol<int32_t (*)(const uint8_t*)>("BufferToLong")(longBytes), 0x12345678);
  EXPECT_EQ(Symbol<int32_t (*)(const uint8_t*)>("BufferToInteger")(longBytes), 0x12345678);
  const uint8_t one[4] = {0x00, 0x00, 0x80, 0x3F};
  EXPECT_EQ(Symbol<float (*)(const uint8_t*)>("MakeFloat")(one), 1.0F);
  const uint8_t minusTwoPointFive[4] = {0x00, 0x00, 0x20, 0xC0};
  EXPECT_EQ(Symbol<float (*)(const uint8_t*)>("MakeFloat")(minusTwoPointFive), -2.5F);
}

TEST_F(ConvertExportsTest, WritersEncodeLittleEndianAndReturnTheValue) {
  for (const char* name : {"MakeLong", "LongToBuffer", "IntegerToBuffer"}) {
    SCOPED_TRACE(name);
    auto write = Symbol<int32_t (*)(int32_t, uint8_t*)>(name);
    uint8_t bytes[4] = {0, 0, 0, 0};
    EXPECT_EQ(write(-2023406815, bytes), -2023406815);  // 0x87654321
    EXPECT_EQ(bytes[0], 0x21);
    EXPECT_EQ(bytes[1], 0x43);
    EXPECT_EQ(bytes[2], 0x65);
    EXPECT_EQ(bytes[3], 0x87);
  }
}

TEST_F(ConvertExportsTest, Int16ToBufferWritesOnlyTwoBytes) {
  auto write = Symbol<int32_t (*)(int32_t, uint8_t*)>("Int16ToBuffer");
  uint8_t bytes[3] = {0xAA, 0xAA, 0xAA};
  EXPECT_EQ(write(0x1234, bytes), 0x1234);
  EXPECT_EQ(bytes[0], 0x34);
  EXPECT_EQ(bytes[1], 0x12);
  EXPECT_EQ(bytes[2], 0xAA);
}

TEST_F(ConvertExportsTest, PairsShareOneRoutine) {
  EXPECT_EQ(dlsym(handle_, "MakeLong"), dlsym(handle_, "LongToBuffer"));
  EXPECT_EQ(dlsym(handle_, "IntegerToBuffer"), dlsym(handle_, "LongToBuffer"));
  EXPECT_EQ(dlsym(handle_, "BufferToInteger"), dlsym(handle_, "BufferToLong"));
}

}  // namespace
}  // namespace torvane
