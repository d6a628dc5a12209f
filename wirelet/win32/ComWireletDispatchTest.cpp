// Late binding to wirelet61.dll as a script host or a container calls it:
// IDispatch::Invoke with what callers get wrong (unknown members, a property
// called as a method, wrong argument counts, arguments that do not convert,
// missing or misnamed arguments), each answered with the dispatch code and
// argument index COM's own dispatch gives, while a member's own failure
// comes as DISP_E_EXCEPTION with its error filled in.
// The socket engine's headers bring winsock2.h, which must come before windows.h.
#include <winsock2.h>

#include <objbase.h>
#include <oleauto.h>
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ComVariant.h"
#include "Wirelet_h.h"

namespace torvane {
namespace {

constexpr UINT kUntouched = 0xDEADu;

// One argument as a caller builds it; the VARIANT is made when the case runs.
struct Arg {
  enum Kind { kLong, kDouble, kText, kArray, kMissing } kind;
  double number = 0;
  const wchar_t* text = L"";
};

Arg Long(int32_t value) { return {Arg::kLong, static_cast<double>(value)}; }
Arg Double(double value) { return {Arg::kDouble, value}; }
Arg Text(const wchar_t* text) { return {Arg::kText, 0, text}; }
Arg Array() { return {Arg::kArray}; }
Arg Missing() { return {Arg::kMissing}; }

VARIANT Make(const Arg& arg) {
  VARIANT v;
  VariantInit(&v);
  switch (arg.kind) {
    case Arg::kLong:
      V_VT(&v) = VT_I4;
      V_I4(&v) = static_cast<LONG>(arg.number);
      break;
    case Arg::kDouble:
      V_VT(&v) = VT_R8;
      V_R8(&v) = arg.number;
      break;
    case Arg::kText:
      V_VT(&v) = VT_BSTR;
      V_BSTR(&v) = SysAllocString(arg.text);
      break;
    case Arg::kArray:
      V_VT(&v) = VT_ARRAY | VT_I4;
      V_ARRAY(&v) = SafeArrayCreateVector(VT_I4, 0, 2);
      break;
    case Arg::kMissing:
      V_VT(&v) = VT_ERROR;
      V_ERROR(&v) = DISP_E_PARAMNOTFOUND;
      break;
  }
  return v;
}

struct DispatchCase {
  const char* name;
  DISPID id;
  WORD flags;
  std::vector<Arg> args;         // first to last, as the caller writes them
  std::vector<DISPID> namedIds;  // the positions of the last namedIds.size() args
  HRESULT expected;
  UINT argError;         // kUntouched where Invoke must leave it alone
  HRESULT scode = S_OK;  // with DISP_E_EXCEPTION
};

void PrintTo(const DispatchCase& c, std::ostream* os) { *os << c.name; }

class ComWireletDispatchTest : public testing::TestWithParam<DispatchCase> {
 protected:
  void SetUp() override {
    ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)));
    ASSERT_EQ(CoCreateInstance(CLSID_Wirelet, nullptr, CLSCTX_INPROC_SERVER, IID_IWirelet,
                               reinterpret_cast<void**>(&control_)),
              S_OK)
        << "is the control registered?";
  }
  void TearDown() override {
    if (control_ != nullptr) control_->Release();
    CoUninitialize();
  }

  // Calls Invoke as a caller lays out DISPPARAMS: positional arguments last
  // first, then named ones, the named ones first in rgvarg.
  HRESULT Run(const DispatchCase& c, VARIANT* result, EXCEPINFO* excep, UINT* argError) {
    const size_t named = c.namedIds.size();
    std::vector<VARIANT> values;
    for (size_t i = 0; i < named; ++i) values.push_back(Make(c.args[c.args.size() - named + i]));
    for (size_t i = c.args.size() - named; i-- > 0;) values.push_back(Make(c.args[i]));
    std::vector<DISPID> ids = c.namedIds;
    DISPPARAMS params{values.data(), ids.data(), static_cast<UINT>(values.size()),
                      static_cast<UINT>(named)};
    HRESULT hr = control_->Invoke(c.id, IID_NULL, LOCALE_USER_DEFAULT, c.flags, &params, result,
                                  excep, argError);
    for (VARIANT& v : values) VariantClear(&v);
    return hr;
  }

  ::IWirelet* control_ = nullptr;
};

TEST_P(ComWireletDispatchTest, AnswersWithTheDispatchCode) {
  const DispatchCase& c = GetParam();
  VARIANT result;
  VariantInit(&result);
  EXCEPINFO excep{};
  UINT argError = kUntouched;
  EXPECT_EQ(Run(c, &result, &excep, &argError), c.expected);
  EXPECT_EQ(argError, c.argError);
  if (c.expected == DISP_E_EXCEPTION) {
    EXPECT_EQ(excep.scode, c.scode);
    EXPECT_NE(excep.bstrDescription, nullptr);
    EXPECT_NE(Utf8FromBstr(excep.bstrDescription), "");
    EXPECT_EQ(Utf8FromBstr(excep.bstrSource), "Wirekit.Wirelet.1");
  } else {
    EXPECT_EQ(excep.scode, 0) << "EXCEPINFO is for a member's own failures";
    EXPECT_EQ(excep.bstrDescription, nullptr);
  }
  SysFreeString(excep.bstrSource);
  SysFreeString(excep.bstrDescription);
  SysFreeString(excep.bstrHelpFile);
  VariantClear(&result);
}

constexpr WORD kGet = DISPATCH_PROPERTYGET;
constexpr WORD kPut = DISPATCH_PROPERTYPUT;
constexpr WORD kCall = DISPATCH_METHOD;
constexpr WORD kCallOrGet = DISPATCH_METHOD | DISPATCH_PROPERTYGET;
constexpr DISPID kPutId = DISPID_PROPERTYPUT;
constexpr DISPID kTimeout = 18;
constexpr DISPID kConfig = 501;
constexpr DISPID kConnect = 502;
constexpr DISPID kDisconnect = 503;

INSTANTIATE_TEST_SUITE_P(
    Invoke, ComWireletDispatchTest,
    testing::Values(
        DispatchCase{"UnknownIdCalled", 999, kCall, {}, {}, DISP_E_MEMBERNOTFOUND, kUntouched},
        DispatchCase{"UnknownIdRead", 999, kGet, {}, {}, DISP_E_MEMBERNOTFOUND, kUntouched},
        DispatchCase{"MethodAssigned",
                     kDisconnect,
                     kPut,
                     {Long(1)},
                     {kPutId},
                     DISP_E_MEMBERNOTFOUND,
                     kUntouched},
        DispatchCase{
            "MethodReadAsProperty", kDisconnect, kGet, {}, {}, DISP_E_MEMBERNOTFOUND, kUntouched},
        DispatchCase{
            "PropertyCalledAsMethod", kTimeout, kCall, {}, {}, DISP_E_MEMBERNOTFOUND, kUntouched},
        DispatchCase{"PropertySetByReference",
                     kTimeout,
                     DISPATCH_PROPERTYPUTREF,
                     {Long(1)},
                     {kPutId},
                     DISP_E_MEMBERNOTFOUND,
                     kUntouched},
        DispatchCase{"MethodWithTooFewArguments",
                     kConnect,
                     kCall,
                     {Text(L"127.0.0.1")},
                     {},
                     DISP_E_BADPARAMCOUNT,
                     kUntouched},
        DispatchCase{"MethodWithTooManyArguments",
                     kConnect,
                     kCall,
                     {Text(L"127.0.0.1"), Long(5000), Long(1)},
                     {},
                     DISP_E_BADPARAMCOUNT,
                     kUntouched},
        DispatchCase{"MethodWithoutArgumentsGivenOne",
                     kDisconnect,
                     kCall,
                     {Long(1)},
                     {},
                     DISP_E_BADPARAMCOUNT,
                     kUntouched},
        DispatchCase{"PropertyReadWithAnArgument",
                     kTimeout,
                     kGet,
                     {Long(1)},
                     {},
                     DISP_E_BADPARAMCOUNT,
                     kUntouched},
        DispatchCase{
            "PropertyAssignedNothing", kTimeout, kPut, {}, {}, DISP_E_BADPARAMCOUNT, kUntouched},
        // Port, the last argument, is rgvarg[0]; Host is rgvarg[1].
        DispatchCase{"SecondArgumentNotANumber",
                     kConnect,
                     kCall,
                     {Text(L"127.0.0.1"), Text(L"five")},
                     {},
                     DISP_E_TYPEMISMATCH,
                     0},
        DispatchCase{"FirstArgumentNotText",
                     kConnect,
                     kCall,
                     {Array(), Long(5000)},
                     {},
                     DISP_E_TYPEMISMATCH,
                     1},
        DispatchCase{"AssignedTextThatIsNoNumber",
                     kTimeout,
                     kPut,
                     {Text(L"abc")},
                     {kPutId},
                     DISP_E_TYPEMISMATCH,
                     0},
        DispatchCase{
            "AssignedNumberTooBig", kTimeout, kPut, {Long(100000)}, {kPutId}, DISP_E_OVERFLOW, 0},
        DispatchCase{"FirstArgumentLeftOut",
                     kConnect,
                     kCall,
                     {Missing(), Long(5000)},
                     {},
                     DISP_E_PARAMNOTOPTIONAL,
                     1},
        DispatchCase{"OnlyTheSecondArgumentByName",
                     kConnect,
                     kCall,
                     {Long(5000)},
                     {1},
                     DISP_E_PARAMNOTOPTIONAL,
                     kUntouched},
        DispatchCase{"ArgumentNamedThatIsNotThere",
                     kConfig,
                     kCallOrGet,
                     {Text(L"x")},
                     {7},
                     DISP_E_PARAMNOTFOUND,
                     0},
        // Reaching the member: its own failures, and calls that succeed.
        DispatchCase{"MemberFails",
                     kConfig,
                     kCallOrGet,
                     {Text(L"NoSuchSetting")},
                     {},
                     DISP_E_EXCEPTION,
                     kUntouched,
                     static_cast<HRESULT>(0x800A4E20)},
        DispatchCase{"MemberFailsAfterArgumentByName",
                     kConfig,
                     kCallOrGet,
                     {Text(L"NoSuchSetting")},
                     {0},
                     DISP_E_EXCEPTION,
                     kUntouched,
                     static_cast<HRESULT>(0x800A4E20)},
        DispatchCase{"ReadOnlyPropertyAssigned",
                     2,
                     kPut,
                     {Long(1)},
                     {kPutId},
                     DISP_E_EXCEPTION,
                     kUntouched,
                     static_cast<HRESULT>(0x800A017F)},
        DispatchCase{"OutOfRangeValue",
                     9,
                     kPut,
                     {Long(4)},
                     {kPutId},
                     DISP_E_EXCEPTION,
                     kUntouched,
                     static_cast<HRESULT>(0x800A017C)},
        DispatchCase{"PropertyRead", kTimeout, kCallOrGet, {}, {}, S_OK, kUntouched},
        DispatchCase{
            "DoubleAssignedToInteger", kTimeout, kPut, {Double(7.0)}, {kPutId}, S_OK, kUntouched},
        DispatchCase{"TextThatIsANumberAsArgument",
                     kConfig,
                     kCallOrGet,
                     {Text(L"MaxLineLength")},
                     {},
                     S_OK,
                     kUntouched},
        DispatchCase{
            "MethodCalledWithoutParentheses", kDisconnect, kCallOrGet, {}, {}, S_OK, kUntouched}),
    [](const testing::TestParamInfo<DispatchCase>& info) { return info.param.name; });

class ComWireletNamesTest : public ComWireletDispatchTest {};

TEST_F(ComWireletNamesTest, NamesOfMembersAndArgumentsAreFound) {
  struct Case {
    std::vector<const wchar_t*> names;
    HRESULT expected;
    std::vector<DISPID> ids;
  };
  const Case cases[] = {
      {{L"Timeout"}, S_OK, {kTimeout}},
      {{L"connect"}, S_OK, {kConnect}},
      {{L"NoSuchMember"}, DISP_E_UNKNOWNNAME, {DISPID_UNKNOWN}},
      {{L"Connect", L"Port", L"host"}, S_OK, {kConnect, 1, 0}},
      {{L"Connect", L"Timeout"}, DISP_E_UNKNOWNNAME, {kConnect, DISPID_UNKNOWN}},
      {{L"NoSuchMember", L"Port"}, DISP_E_UNKNOWNNAME, {DISPID_UNKNOWN, DISPID_UNKNOWN}},
      {{L"DataIn"}, DISP_E_UNKNOWNNAME, {DISPID_UNKNOWN}},  // an event, not a member
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message()
                 << "first name " << Utf8FromWide(c.names[0], wcslen(c.names[0])));
    std::vector<LPOLESTR> names;
    for (const wchar_t* name : c.names) names.push_back(const_cast<LPOLESTR>(name));
    std::vector<DISPID> ids(names.size(), 12345);
    EXPECT_EQ(control_->GetIDsOfNames(IID_NULL, names.data(), static_cast<UINT>(names.size()),
                                      LOCALE_USER_DEFAULT, ids.data()),
              c.expected);
    EXPECT_EQ(ids, c.ids);
  }
}

TEST_F(ComWireletNamesTest, ReservedInterfaceMustBeNull) {
  DISPPARAMS none{};
  EXPECT_EQ(control_->Invoke(kTimeout, IID_IWirelet, 0, kGet, &none, nullptr, nullptr, nullptr),
            DISP_E_UNKNOWNINTERFACE);
  LPOLESTR name = const_cast<LPOLESTR>(L"Timeout");
  DISPID id = 0;
  EXPECT_EQ(control_->GetIDsOfNames(IID_IWirelet, &name, 1, 0, &id), DISP_E_UNKNOWNINTERFACE);
}

}  // namespace
}  // namespace torvane
