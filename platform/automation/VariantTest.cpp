#include "Variant.h"

#include <gtest/gtest.h>

namespace torvane {
namespace {

struct Conversion {
  Variant from;
  VarType to;
  HResult hr;
  Variant expected;
};

TEST(VariantTest, ChangeTypeFollowsAutomationRules) {
  const Conversion cases[] = {
      {Variant::Bool(true), VarType::kI2, kSOk, Variant::I2(-1)},
      {Variant::Bool(false), VarType::kI4, kSOk, Variant::I4(0)},
      {Variant::I4(7), VarType::kBool, kSOk, Variant::Bool(true)},
      {Variant::I4(40000), VarType::kI2, kDispEOverflow, Variant()},
      {Variant::I2(-5), VarType::kI4, kSOk, Variant::I4(-5)},
      {Variant::String(" 1080 "), VarType::kI4, kSOk, Variant::I4(1080)},
      {Variant::String("-32768"), VarType::kI2, kSOk, Variant::I2(-32768)},
      {Variant::String("32768"), VarType::kI2, kDispEOverflow, Variant()},
      {Variant::String("99999999999999"), VarType::kI4, kDispEOverflow, Variant()},
      {Variant::String("12x"), VarType::kI4, kDispETypeMismatch, Variant()},
      {Variant::String(""), VarType::kI4, kDispETypeMismatch, Variant()},
      {Variant::String("TRUE"), VarType::kBool, kSOk, Variant::Bool(true)},
      {Variant::String("false"), VarType::kBool, kSOk, Variant::Bool(false)},
      {Variant::String("0"), VarType::kBool, kSOk, Variant::Bool(false)},
      {Variant::String("yes"), VarType::kBool, kDispETypeMismatch, Variant()},
      {Variant::String("True"), VarType::kI2, kSOk, Variant::I2(-1)},
      {Variant::Bool(true), VarType::kString, kSOk, Variant::String("True")},
      {Variant::I4(-12), VarType::kString, kSOk, Variant::String("-12")},
      {Variant(), VarType::kString, kSOk, Variant::String("")},
      {Variant(), VarType::kI4, kSOk, Variant::I4(0)},
      {Variant::Bytes({1, 2}), VarType::kString, kDispETypeMismatch, Variant()},
      {Variant::Bytes({1, 2}), VarType::kBytes, kSOk, Variant::Bytes({1, 2})},
      {Variant::String("ab"), VarType::kBytes, kDispETypeMismatch, Variant()},
      {Variant::Other(), VarType::kString, kDispETypeMismatch, Variant()},
      {Variant::Other(), VarType::kBool, kDispETypeMismatch, Variant()},
      {Variant::Other(), VarType::kBytes, kDispETypeMismatch, Variant()},
  };
  for (const Conversion& c : cases) {
    SCOPED_TRACE(::testing::Message() << "case " << (&c - cases));
    Variant out;
    EXPECT_EQ(ChangeType(c.from, c.to, out), c.hr);
    if (c.hr == kSOk) {
      EXPECT_EQ(out, c.expected);
    }
  }
}

TEST(VariantTest, ReferenceReadsAndWritesItsTarget) {
  Variant target = Variant::String("before");
  Variant ref = Variant::Ref(&target);
  EXPECT_TRUE(ref.IsRef());
  EXPECT_EQ(ref.Type(), VarType::kString);
  EXPECT_EQ(ref.AsString(), "before");
  ref.Target() = Variant::I2(3);
  EXPECT_EQ(target, Variant::I2(3));
  Variant out;
  EXPECT_EQ(ChangeType(ref, VarType::kString, out), kSOk);
  EXPECT_EQ(out.AsString(), "3");
  EXPECT_FALSE(out.IsRef());
}

}  // namespace
}  // namespace torvane
