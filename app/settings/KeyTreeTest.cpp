#include "KeyTree.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace torvane {
namespace {

std::vector<std::string> ValueNames(const RegKey& key) {
  std::vector<std::string> names;
  for (const auto& [name, value] : key.Values()) names.push_back(*name);
  return names;
}

std::vector<std::string> SubkeyNames(const RegKey& key) {
  std::vector<std::string> names;
  for (const RegKey* subkey : key.Subkeys()) names.push_back(subkey->Name());
  return names;
}

TEST(KeyTreeTest, NamesCompareWithoutAsciiCaseOnly) {
  EXPECT_TRUE(NamesEqual("PageSettings", "pAGEsETTINGS"));
  EXPECT_FALSE(NamesEqual("Page", "Pages"));
  EXPECT_FALSE(NamesEqual("\xC4", "\xE4"));
  EXPECT_FALSE(NamesEqual("[", "{")) << "only letters fold";
  EXPECT_FALSE(NamesEqual("@", "`"));
  NameLess less;
  EXPECT_FALSE(less("abc", "ABC"));
  EXPECT_FALSE(less("ABC", "abc"));
  EXPECT_TRUE(less("ab", "ABC"));
  EXPECT_TRUE(less("Z", "\x80"));
}

TEST(KeyTreeTest, KeepsTheFirstCaseAndTheCreationOrder) {
  KeyTree tree;
  RegKey* key = tree.CreateKey("Software\\Page");
  for (const char* name : {"P10", "P2", "L0", "Title"}) key->SetValue(name, RegValue{1, "x"});
  key->SetValue("TITLE", RegValue{1, "y"});
  key->SetValue("p2", RegValue{1, "z"});
  EXPECT_EQ(ValueNames(*key), (std::vector<std::string>{"P10", "P2", "L0", "Title"}));
  EXPECT_EQ(key->FindValue("title")->data, "y");

  tree.CreateKey("SOFTWARE\\zeta");
  tree.CreateKey("software\\Alpha");
  tree.CreateKey("SOFTWARE\\ZETA\\inner");
  EXPECT_EQ(SubkeyNames(*tree.FindKey("software")),
            (std::vector<std::string>{"Page", "zeta", "Alpha"}));
  EXPECT_EQ(tree.FindKey("Software")->Name(), "Software");
}

TEST(KeyTreeTest, RemovedAndRecreatedNamesGoLast) {
  RegKey key("k");
  key.SetValue("a", RegValue{1, "1"});
  key.SetValue("b", RegValue{1, "2"});
  EXPECT_TRUE(key.RemoveValue("A"));
  EXPECT_FALSE(key.RemoveValue("a"));
  key.SetValue("A", RegValue{1, "3"});
  EXPECT_EQ(ValueNames(key), (std::vector<std::string>{"b", "A"}));
}

TEST(KeyTreeTest, SetValueTellsWhetherAnythingChanged) {
  RegKey key("k");
  EXPECT_TRUE(key.SetValue("a", RegValue{1, "1"}));
  EXPECT_FALSE(key.SetValue("A", RegValue{1, "1"}));
  EXPECT_TRUE(key.SetValue("a", RegValue{4, "1"}));
  EXPECT_TRUE(key.SetValue("a", RegValue{4, "2"}));
}

TEST(KeyTreeTest, PathsSkipEmptyComponents) {
  EXPECT_EQ(SplitKeyPath("\\A\\\\B\\"), (std::vector<std::string_view>{"A", "B"}));
  EXPECT_TRUE(SplitKeyPath("").empty());
  EXPECT_TRUE(SplitKeyPath("\\\\").empty());
  KeyTree tree;
  bool created = false;
  RegKey* key = tree.CreateKey("A\\B\\", &created);
  EXPECT_TRUE(created);
  EXPECT_EQ(tree.CreateKey("\\a\\\\b", &created), key);
  EXPECT_FALSE(created);
  EXPECT_EQ(tree.FindKey("A\\B"), key);
  EXPECT_EQ(tree.FindKey(""), &tree.Root());
  EXPECT_EQ(tree.FindKey("A\\C"), nullptr);
  EXPECT_EQ(tree.CreateKey("A\\Line\nBreak", &created), nullptr);
  EXPECT_FALSE(created);
  EXPECT_EQ(tree.FindKey("A")->SubkeyCount(), 1u);
}

TEST(KeyTreeTest, DeleteKeyTakesASubkeyPath) {
  KeyTree tree;
  tree.CreateKey("A\\B\\C\\D")->SetValue("v", RegValue{1, "1"});
  EXPECT_FALSE(tree.DeleteKey("A", ""));
  EXPECT_FALSE(tree.DeleteKey("A", "\\"));
  EXPECT_FALSE(tree.DeleteKey("A", "X\\C"));
  EXPECT_TRUE(tree.DeleteKey("a", "b\\c"));
  EXPECT_EQ(tree.FindKey("A\\B\\C"), nullptr);
  EXPECT_NE(tree.FindKey("A\\B"), nullptr);
  EXPECT_FALSE(tree.DeleteKey("A\\B", "C"));
}

TEST(KeyTreeTest, SameContentIgnoresOrderButNotData) {
  KeyTree a;
  KeyTree b;
  a.CreateKey("X")->SetValue("1", RegValue{1, "a"});
  a.CreateKey("Y");
  b.CreateKey("y");
  b.CreateKey("x")->SetValue("1", RegValue{1, "a"});
  EXPECT_TRUE(a.SameContent(b));
  b.CreateKey("x")->SetValue("1", RegValue{1, "b"});
  EXPECT_FALSE(a.SameContent(b));
  b.CreateKey("x")->SetValue("1", RegValue{1, "a"});
  b.CreateKey("y\\z");
  EXPECT_FALSE(a.SameContent(b));
}

}  // namespace
}  // namespace torvane
