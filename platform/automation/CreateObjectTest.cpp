#include "CreateObject.h"

#include <gtest/gtest.h>

namespace torvane {
namespace {

constexpr char kClsid[] = "{11111111-2222-3333-4444-555555555555}";

class CreateObjectTest : public ::testing::Test {
 protected:
  void SetUp() override {
    hive.WriteValue("Sample.Thing", "", "Sample");
    hive.WriteValue("Sample.Thing\\CLSID", "", kClsid);
    hive.WriteValue("Sample.Thing\\CurVer", "", "Sample.Thing.1");
    hive.WriteValue("Sample.Thing.1\\CLSID", "", kClsid);
    hive.WriteValue(std::string("CLSID\\") + kClsid + "\\InprocServer32", "",
                    TORVANE_SAMPLE_MODULE);
  }
  MemoryHive hive;
};

TEST_F(CreateObjectTest, ProgIdReachesTheModulesObject) {
  ComPtr<IDispatch> object;
  ASSERT_EQ(CreateObject(hive, "sample.thing", kIidDispatch, object.Out()), kSOk);
  ASSERT_TRUE(object);
  std::string name = "Answer";
  DispId id = 0;
  ASSERT_EQ(object->GetIDsOfNames({&name, 1}, {&id, 1}), kSOk);
  Variant result;
  ASSERT_EQ(object->Invoke(id, kDispatchPropertyGet, {}, &result, nullptr), kSOk);
  EXPECT_EQ(result, Variant::I4(42));
}

TEST_F(CreateObjectTest, CurVerIsFollowedOnlyToARegisteredProgId) {
  Guid clsid;
  hive.WriteValue("Sample.Thing\\CurVer", "", "Sample.Thing.9");
  ASSERT_EQ(ClsidFromProgId(hive, "Sample.Thing", clsid), kSOk);
  EXPECT_EQ(clsid.ToString(), kClsid);
  hive.DeleteKey("Sample.Thing\\CLSID");
  EXPECT_EQ(ClsidFromProgId(hive, "Sample.Thing", clsid), kCoEClassString);
  hive.WriteValue("Sample.Thing\\CurVer", "", "Sample.Thing.1");
  EXPECT_EQ(ClsidFromProgId(hive, "Sample.Thing", clsid), kSOk);
}

TEST_F(CreateObjectTest, FailuresComeBackAsTheirCodes) {
  ComPtr<IDispatch> object;
  EXPECT_EQ(CreateObject(hive, "No.Such.Thing", kIidDispatch, object.Out()), kCoEClassString);
  hive.WriteValue("Bad.Thing\\CLSID", "", "not a guid");
  EXPECT_EQ(CreateObject(hive, "Bad.Thing", kIidDispatch, object.Out()), kCoEClassString);
  EXPECT_EQ(CreateObject(hive, "Sample.Thing", kIidClassFactory, object.Out()), kENoInterface);
  EXPECT_EQ(CreateObject(hive, "Sample.Thing", kIidDispatch, nullptr), kEPointer);

  const std::string server = std::string("CLSID\\") + kClsid + "\\InprocServer32";
  hive.WriteValue(server, "", "/nonexistent/libnothing.so");
  EXPECT_EQ(CreateObject(hive, "Sample.Thing", kIidDispatch, object.Out()), kCoEDllNotFound);
  EXPECT_FALSE(LastModuleError().empty());
  hive.WriteValue(server, "", "libm.so.6");
  EXPECT_EQ(CreateObject(hive, "Sample.Thing", kIidDispatch, object.Out()), kCoEErrorInDll);
  hive.DeleteKey(server);
  EXPECT_EQ(CreateObject(hive, "Sample.Thing", kIidDispatch, object.Out()), kRegdbEClassNotReg);
  EXPECT_FALSE(object);
}

TEST_F(CreateObjectTest, ModuleRefusesAClassItDoesNotServe) {
  const char* other = "{99999999-2222-3333-4444-555555555555}";
  hive.WriteValue(std::string("CLSID\\") + other + "\\InprocServer32", "", TORVANE_SAMPLE_MODULE);
  ComPtr<IDispatch> object;
  EXPECT_EQ(CreateInstanceOf(hive, *Guid::Parse(other), kIidDispatch, object.Out()),
            kClassEClassNotAvailable);
}

}  // namespace
}  // namespace torvane
