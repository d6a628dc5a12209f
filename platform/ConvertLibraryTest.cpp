#include "ConvertLibrary.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <dlfcn.h>
#endif
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
  // A system library is loadable but has no Int16ToBuffer.
#ifdef _WIN32
  const char* const other = "kernel32.dll";
#else
  const char* const other = "libm.so.6";
#endif
  ConvertLibrary library(other);
  try {
    library.Int16ToBuffer(1);
    FAIL() << "expected ConvertLibraryError";
  } catch (const ConvertLibraryError& e) {
    EXPECT_NE(std::strstr(e.what(), other), nullptr) << e.what();
    EXPECT_NE(std::strstr(e.what(), "no entry point Int16ToBuffer"), nullptr) << e.what();
  }
}

TEST(ConvertLibraryTest, FailedLoadIsRetriedAtTheNextCall) {
  ConvertLibrary library("libNoSuchConvert.so");
  EXPECT_THROW(library.Int16ToBuffer(1), ConvertLibraryError);
  EXPECT_THROW(library.Int16ToBuffer(1), ConvertLibraryError);
}

// The other seven exports, called through the library file as any caller would,
// declared as the library's header declares them (on 32-bit Windows: __stdcall).
class ConvertExportsTest : public ::testing::Test {
 protected:
#ifdef _WIN32
  void SetUp() override {
    handle_ = LoadLibraryA((ProgramFolder() + "\\TorvaneConvert.dll").c_str());
    ASSERT_NE(handle_, nullptr) << GetLastError();
  }
  void TearDown() override {
    if (handle_ != nullptr) FreeLibrary(static_cast<HMODULE>(handle_));
  }
  void* Address(const char* name) {
    return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(handle_), name));
  }
#else
  void SetUp() override {
    handle_ = dlopen((ProgramFolder() + "/libTorvaneConvert.so").c_str(), RTLD_NOW);
    ASSERT_NE(handle_, nullptr) << dlerror();
  }
  void TearDown() override {
    if (handle_ != nullptr) dlclose(handle_);
  }
  void* Address(const char* name) { return dlsym(handle_, name); }
#endif
  template <typename Fn>
  Fn Symbol(const char* name) {
    void* address = Address(name);
    EXPECT_NE(address, nullptr) << name;
    return reinterpret_cast<Fn>(address);
  }
  void* handle_ = nullptr;
};

TEST_F(ConvertExportsTest, ReadersDecodeLittleEndian) {
  const uint8_t int16Bytes[2] = {0xFE, 0xFF};
  EXPECT_EQ(Symbol<decltype(&::BufferToInt16)>("BufferToInt16")(int16Bytes), -2);
  const uint8_t longBytes[4] = {0x78, 0x56, 0x34, 0x12};
  EXPECT_EQ(Symbol<decltype(&::BufferToLong)>("BufferToLong")(longBytes), 0x12345678);
  EXPECT_EQ(Symbol<decltype(&::BufferToLong)>("BufferToInteger")(longBytes), 0x12345678);
  const uint8_t one[4] = {0x00, 0x00, 0x80, 0x3F};
  EXPECT_EQ(Symbol<decltype(&::MakeFloat)>("MakeFloat")(one), 1.0F);
  const uint8_t minusTwoPointFive[4] = {0x00, 0x00, 0x20, 0xC0};
  EXPECT_EQ(Symbol<decltype(&::MakeFloat)>("MakeFloat")(minusTwoPointFive), -2.5F);
}

TEST_F(ConvertExportsTest, WritersEncodeLittleEndianAndReturnTheValue) {
  for (const char* name : {"MakeLong", "LongToBuffer", "IntegerToBuffer"}) {
    SCOPED_TRACE(name);
    auto write = Symbol<decltype(&::LongToBuffer)>(name);
    uint8_t bytes[4] = {0, 0, 0, 0};
    EXPECT_EQ(write(-2023406815, bytes), -2023406815);  // 0x87654321
    EXPECT_EQ(bytes[0], 0x21);
    EXPECT_EQ(bytes[1], 0x43);
    EXPECT_EQ(bytes[2], 0x65);
    EXPECT_EQ(bytes[3], 0x87);
  }
}

TEST_F(ConvertExportsTest, Int16ToBufferWritesOnlyTwoBytes) {
  auto write = Symbol<decltype(&::LongToBuffer)>("Int16ToBuffer");
  uint8_t bytes[3] = {0xAA, 0xAA, 0xAA};
  EXPECT_EQ(write(0x1234, bytes), 0x1234);
  EXPECT_EQ(bytes[0], 0x34);
  EXPECT_EQ(bytes[1], 0x12);
  EXPECT_EQ(bytes[2], 0xAA);
}

TEST_F(ConvertExportsTest, PairsShareOneRoutine) {
  EXPECT_EQ(Address("MakeLong"), Address("LongToBuffer"));
  EXPECT_EQ(Address("IntegerToBuffer"), Address("LongToBuffer"));
  EXPECT_EQ(Address("BufferToInteger"), Address("BufferToLong"));
}

}  // namespace
}  // namespace torvane
