// A host-model object served through Invoke: the arguments COM passes (last first) reach the
// object first first, with their own types; a count the member cannot take is refused; and an
// argument that cannot be read fails the call without keeping the ones read before it.
#include <windows.h>
#include <oleauto.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "hostmodel/dispatch/invoke_on.h"
#include "hostmodel/error.h"
#include "win/com_ptr.h"
#include "win/scoped_variant.h"
#include "win/untyped_dispatch.h"

namespace tolvane::test {
namespace {

using host::Value;
using host::dispatch::invokeOn;
using host::dispatch::kMaxInvokeArguments;

// Records what reaches it.
class Recording final : public host::Object {
 public:
  Value get(std::string_view member) override {
    seen.push_back("get " + std::string(member));
    return Value{std::int32_t{7}};
  }
  void put(std::string_view member, const Value& value) override {
    seen.push_back("put " + std::string(member));
    args.assign(1, value);
  }
  void call(std::string_view method, std::span<const Value> given) override {
    seen.push_back("call " + std::string(method));
    args.assign(given.begin(), given.end());
  }

  std::vector<std::string> seen;
  std::vector<Value> args;
};

// An object passed as an argument, whose references can be counted.
class Counted final : public win::UntypedDispatch<IDispatch> {
 public:
  STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return DISP_E_UNKNOWNNAME; }
  STDMETHODIMP Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) override {
    return DISP_E_MEMBERNOTFOUND;
  }
  ULONG references() {
    AddRef();
    return Release();
  }

 private:
  ~Counted() override = default;
};

// COM's order: the last argument first.
DISPPARAMS passed(std::vector<VARIANT>& lastFirst) {
  DISPPARAMS params{};
  params.rgvarg = lastFirst.empty() ? nullptr : lastFirst.data();
  params.cArgs = static_cast<UINT>(lastFirst.size());
  return params;
}

VARIANT r8(double x) {
  VARIANT v;
  V_VT(&v) = VT_R8;
  V_R8(&v) = x;
  return v;
}

TEST(InvokeOn, ArgumentsReachTheObjectFirstFirstWithTheirTypes) {
  Recording object;
  const std::string move = "Move";
  std::vector<VARIANT> lastFirst;
  VARIANT height;
  V_VT(&height) = VT_I2;
  V_I2(&height) = 285;
  lastFirst = {height, r8(1200), r8(6400), r8(10)};
  DISPPARAMS params = passed(lastFirst);
  Value result;
  ASSERT_EQ(invokeOn(object, &move, DISPATCH_METHOD, params, result, L"Test", nullptr), S_OK);
  ASSERT_EQ(object.seen, std::vector<std::string>{"call Move"});
  ASSERT_EQ(object.args.size(), 4u);
  EXPECT_EQ(object.args[0], Value{10.0});
  EXPECT_EQ(object.args[1], Value{6400.0});
  EXPECT_EQ(object.args[2], Value{1200.0});
  EXPECT_EQ(object.args[3], Value{std::int16_t{285}});

  const std::string left = "Left";
  lastFirst = {r8(150.5)};
  params = passed(lastFirst);
  ASSERT_EQ(invokeOn(object, &left, DISPATCH_PROPERTYPUT, params, result, L"Test", nullptr), S_OK);
  EXPECT_EQ(object.args, std::vector<Value>{Value{150.5}});

  lastFirst.clear();
  params = passed(lastFirst);
  ASSERT_EQ(invokeOn(object, &left, DISPATCH_PROPERTYGET, params, result, L"Test", nullptr), S_OK);
  EXPECT_EQ(result, Value{std::int32_t{7}});
}

TEST(InvokeOn, ACountTheMemberCannotTakeIsRefusedBeforeTheObjectSeesIt) {
  struct Case {
    const char* what;
    WORD flags;
    std::size_t count;
    const std::string* name;
  };
  const std::string left = "Left";
  const Case cases[] = {
      {"a store without a value", DISPATCH_PROPERTYPUT, 0, &left},
      {"a store of two values", DISPATCH_PROPERTYPUT, 2, &left},
      {"more arguments than any member takes", DISPATCH_METHOD, kMaxInvokeArguments + 1, &left},
      {"the default member without an index", DISPATCH_PROPERTYGET, 0, nullptr},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Recording object;
    std::vector<VARIANT> lastFirst(c.count, r8(1));
    DISPPARAMS params = passed(lastFirst);
    Value result;
    EXPECT_EQ(invokeOn(object, c.name, c.flags, params, result, L"Test", nullptr), DISP_E_BADPARAMCOUNT);
    EXPECT_TRUE(object.seen.empty());
  }
}

TEST(InvokeOn, AnArgumentThatCannotBeReadFailsTheCallAndLetsGoOfTheOnesBeforeIt) {
  const auto passedObject = win::ComPtr<Counted>::adopt(new Counted());
  ASSERT_EQ(passedObject->references(), 1u);
  win::ScopedVariant array;
  V_VT(array.ptr()) = VT_ARRAY | VT_I4;
  V_ARRAY(array.ptr()) = SafeArrayCreateVector(VT_I4, 0, 2);
  ASSERT_NE(V_ARRAY(&array.get()), nullptr);

  Recording object;
  const std::string move = "Move";
  VARIANT first;
  V_VT(&first) = VT_DISPATCH;
  V_DISPATCH(&first) = passedObject.get();
  std::vector<VARIANT> lastFirst = {array.get(), first};  // Move(object, array)
  DISPPARAMS params = passed(lastFirst);
  Value result;
  EXPECT_THROW(invokeOn(object, &move, DISPATCH_METHOD, params, result, L"Test", nullptr), host::HostError);
  EXPECT_TRUE(object.seen.empty());
  EXPECT_EQ(passedObject->references(), 1u);
}

}  // namespace
}  // namespace tolvane::test
