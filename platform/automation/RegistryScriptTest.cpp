#include "RegistryScript.h"

#include <gtest/gtest.h>

namespace torvane {
namespace {

constexpr char kScript[] = R"(
HKCR
{
  Sample.Thing.1 = s 'Sample Thing'
  {
    CLSID = s '{11111111-2222-3333-4444-555555555555}'
  }
  NoRemove CLSID
  {
    ForceRemove '{11111111-2222-3333-4444-555555555555}' = s 'Sample Thing'
    {
      InprocServer32 = s '%MODULE%'
      {
        val ThreadingModel = s 'Apartment'
      }
      'Programmable'
      'Windows CE Control'
      MiscStatus = s '0'
      {
        '1' = s '132497'
      }
    }
  }
}
)";

TEST(RegistryScriptTest, RegisterWritesKeysAndValues) {
  std::string text = SubstituteScript(kScript, {{"MODULE", "/opt/it's/libsample.so"}});
  std::string error;
  std::optional<RegistryScript> script = RegistryScript::Parse(text, &error);
  ASSERT_TRUE(script) << error;
  MemoryHive hive;
  script->Register(hive);
  const std::string clsid = "CLSID\\{11111111-2222-3333-4444-555555555555}";
  EXPECT_EQ(hive.ReadValue("Sample.Thing.1", ""), "Sample Thing");
  EXPECT_EQ(hive.ReadValue("Sample.Thing.1\\CLSID", ""), "{11111111-2222-3333-4444-555555555555}");
  EXPECT_EQ(hive.ReadValue(clsid + "\\InprocServer32", ""), "/opt/it's/libsample.so");
  EXPECT_EQ(hive.ReadValue(clsid + "\\InprocServer32", "ThreadingModel"), "Apartment");
  EXPECT_EQ(hive.ReadValue(clsid + "\\MiscStatus\\1", ""), "132497");
  EXPECT_TRUE(hive.KeyExists(clsid + "\\Programmable"));
  EXPECT_TRUE(hive.KeyExists(clsid + "\\Windows CE Control"));
}

TEST(RegistryScriptTest, ForceRemoveReplacesAndUnregisterKeepsNoRemoveKeys) {
  std::optional<RegistryScript> script =
      RegistryScript::Parse(SubstituteScript(kScript, {{"MODULE", "/a.so"}}));
  ASSERT_TRUE(script);
  MemoryHive hive;
  const std::string clsid = "CLSID\\{11111111-2222-3333-4444-555555555555}";
  hive.WriteValue(clsid + "\\Stale", "", "left over");
  hive.WriteValue("CLSID\\{99999999-2222-3333-4444-555555555555}", "", "Other class");
  script->Register(hive);
  EXPECT_FALSE(hive.KeyExists(clsid + "\\Stale"));
  script->Unregister(hive);
  EXPECT_FALSE(hive.KeyExists(clsid));
  EXPECT_FALSE(hive.KeyExists("Sample.Thing.1"));
  EXPECT_TRUE(hive.KeyExists("CLSID"));
  EXPECT_EQ(hive.ReadValue("CLSID\\{99999999-2222-3333-4444-555555555555}", ""), "Other class");
}

TEST(RegistryScriptTest, MalformedScriptsAreRefused) {
  const char* scripts[] = {
      "",
      "HKCU { A }",
      "HKCR { A = s 'x' ",
      "HKCR { A = 'x' }",
      "HKCR { A = s x }",
      "HKCR { val A = s 'x' }",
      "HKCR { 'A\\B' }",
      "HKCR { A = s 'unterminated }",
      "HKCR { A } B",
  };
  for (const char* text : scripts) {
    std::string error;
    EXPECT_FALSE(RegistryScript::Parse(text, &error)) << text;
    EXPECT_FALSE(error.empty()) << text;
  }
}

TEST(RegistryScriptTest, SubstitutionLeavesUnknownNamesAndLonePercents) {
  EXPECT_EQ(SubstituteScript("a %X% b %Y% 100%", {{"X", "1"}}), "a 1 b %Y% 100%");
  EXPECT_EQ(SubstituteScript("'%P%'", {{"P", "o'k"}}), "'o''k'");
}

}  // namespace
}  // namespace torvane
