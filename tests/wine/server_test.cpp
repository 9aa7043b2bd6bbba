// The server's exports and the control's late-bound interface, driven as a careless client would.
#include <windows.h>

#include <gtest/gtest.h>
#include <objsafe.h>
#include <olectl.h>
#include <oleauto.h>

#include <vector>

#include "Brenmoor.h"
#include "support.h"
#include "win/excep_info.h"
#include "win/scoped_bstr.h"
#include "win/scoped_variant.h"
#include "win/scoped_variants.h"

namespace tolvane::test {
namespace {

const Server& server() { return Server::instance(); }

TEST(Server, UnknownClassAndAggregationAreRefused) {
  const CLSID other = {0x12345678, 0x1234, 0x1234, {0x12, 0x34, 0x12, 0x34, 0x56, 0x78, 0x9A, 0xBC}};
  void* out = reinterpret_cast<void*>(1);
  EXPECT_EQ(server().getClassObject(other, IID_IClassFactory, &out), CLASS_E_CLASSNOTAVAILABLE);
  EXPECT_EQ(out, nullptr);
  EXPECT_EQ(server().getClassObject(CLSID_Tolvane, IID_IClassFactory, nullptr), E_POINTER);

  ComPtr<IClassFactory> factory;
  ASSERT_EQ(server().getClassObject(CLSID_Tolvane, IID_IClassFactory, reinterpret_cast<void**>(factory.put())), S_OK);
  ComPtr<IUnknown> outer = server().create();
  ASSERT_TRUE(outer);
  out = reinterpret_cast<void*>(1);
  EXPECT_EQ(factory->CreateInstance(outer.get(), IID_IUnknown, &out), CLASS_E_NOAGGREGATION);
  EXPECT_EQ(out, nullptr);
  EXPECT_EQ(factory->CreateInstance(nullptr, IID_IUnknown, nullptr), E_POINTER);
}

TEST(Server, CanUnloadOnlyWhenNothingLives) {
  ASSERT_EQ(server().canUnloadNow(), S_OK);
  {
    ComPtr<IUnknown> control = server().create();
    ASSERT_TRUE(control);
    EXPECT_EQ(server().canUnloadNow(), S_FALSE) << "while an object lives";
  }
  EXPECT_EQ(server().canUnloadNow(), S_OK);

  ComPtr<IClassFactory> factory;
  ASSERT_EQ(server().getClassObject(CLSID_Tolvane, IID_IClassFactory, reinterpret_cast<void**>(factory.put())), S_OK);
  ASSERT_EQ(factory->LockServer(TRUE), S_OK);
  factory.reset();
  EXPECT_EQ(server().canUnloadNow(), S_FALSE) << "while the server is locked";
  ASSERT_EQ(server().getClassObject(CLSID_Tolvane, IID_IClassFactory, reinterpret_cast<void**>(factory.put())), S_OK);
  ASSERT_EQ(factory->LockServer(FALSE), S_OK);
  factory.reset();
  EXPECT_EQ(server().canUnloadNow(), S_OK);

  // Many lives: every object, interface and enumerator given out is returned.
  for (int i = 0; i < 1000; ++i) {
    ComPtr<IUnknown> control = server().create();
    ASSERT_TRUE(control);
    ComPtr<IConnectionPointContainer> points = control.query<IConnectionPointContainer>(IID_IConnectionPointContainer);
    ComPtr<IEnumConnectionPoints> each;
    ASSERT_EQ(points->EnumConnectionPoints(each.put()), S_OK);
    ComPtr<IConnectionPoint> point;
    ASSERT_EQ(points->FindConnectionPoint(DIID___Tolvane, point.put()), S_OK);
    ComPtr<_Tolvane> dual = control.query<_Tolvane>(IID__Tolvane);
    ASSERT_EQ(dual->put_KeepRatio(VARIANT_TRUE), S_OK);
    ComPtr<ITypeInfo> info;
    ASSERT_EQ(dual->GetTypeInfo(0, 0, info.put()), S_OK);
  }
  EXPECT_EQ(server().canUnloadNow(), S_OK);
}

TEST(Server, NotMarkedSafeForScripting) {
  ComPtr<IUnknown> control = server().create();
  ASSERT_TRUE(control);
  EXPECT_FALSE(control.query<IObjectSafety>(IID_IObjectSafety));
}

TEST(Server, ClassInfoAndEventSource) {
  ComPtr<IUnknown> control = server().create();
  ComPtr<IProvideClassInfo2> classInfo = control.query<IProvideClassInfo2>(IID_IProvideClassInfo2);
  ASSERT_TRUE(classInfo);
  GUID source{};
  ASSERT_EQ(classInfo->GetGUID(GUIDKIND_DEFAULT_SOURCE_DISP_IID, &source), S_OK);
  EXPECT_EQ(source, DIID___Tolvane);
  ComPtr<ITypeInfo> info;
  ASSERT_EQ(classInfo->GetClassInfo(info.put()), S_OK);
  TYPEATTR* attr = nullptr;
  ASSERT_EQ(info->GetTypeAttr(&attr), S_OK);
  EXPECT_EQ(attr->guid, CLSID_Tolvane);
  info->ReleaseTypeAttr(attr);

  ComPtr<IConnectionPointContainer> points = control.query<IConnectionPointContainer>(IID_IConnectionPointContainer);
  ComPtr<IConnectionPoint> point;
  EXPECT_EQ(points->FindConnectionPoint(IID_IPropertyNotifySink, point.put()), CONNECT_E_NOCONNECTION);
  ASSERT_EQ(points->FindConnectionPoint(DIID___Tolvane, point.put()), S_OK);
  DWORD cookie = 0;
  ComPtr<IDispatch> sink = control.query<IDispatch>(IID_IDispatch);  // any dispatch object can listen
  ASSERT_EQ(point->Advise(sink.get(), &cookie), S_OK);
  EXPECT_EQ(point->Unadvise(cookie), S_OK);
  EXPECT_EQ(point->Unadvise(cookie), CONNECT_E_NOCONNECTION);
  EXPECT_EQ(point->Advise(nullptr, &cookie), E_POINTER);
}

// A failure of the control's own handlers reaches a vtable client as its HRESULT with error info.
TEST(Server, HostFailureBecomesHresultWithErrorInfo) {
  ComPtr<IUnknown> control = server().create();
  ComPtr<_Tolvane> dual = control.query<_Tolvane>(IID__Tolvane);
  EXPECT_EQ(dual->Rebuild(), S_OK);
  EXPECT_EQ(dual->Refresh(), static_cast<HRESULT>(0x800A005B)) << "object variable not set";
  ComPtr<IErrorInfo> error;
  ASSERT_EQ(GetErrorInfo(0, error.put()), S_OK);
  win::ScopedBstr description;
  ASSERT_EQ(error->GetDescription(description.receive()), S_OK);
  EXPECT_GT(description.length(), 0u);
  ComPtr<ISupportErrorInfo> supports = control.query<ISupportErrorInfo>(IID_ISupportErrorInfo);
  EXPECT_EQ(supports->InterfaceSupportsErrorInfo(IID__Tolvane), S_OK);
}

// ---- IDispatch misuse

struct Arg {
  VARTYPE vt;
  LONG value;
  const wchar_t* text;
};

struct InvokeCase {
  const char* what;
  DISPID id;
  bool foreignIid;
  WORD flags;
  std::vector<Arg> args;
  std::vector<DISPID> named;
  bool nullParams;
  bool nullArgs;
  HRESULT expected;
};

class Dispatch : public testing::TestWithParam<InvokeCase> {
 protected:
  void SetUp() override {
    control = server().create();
    ASSERT_TRUE(control);
    dispatch = control.query<IDispatch>(IID_IDispatch);
    ASSERT_TRUE(dispatch);
  }
  ComPtr<IUnknown> control;
  ComPtr<IDispatch> dispatch;
};

constexpr DISPID kResizeFont = 0x40030000;
constexpr DISPID kRebuild = 0x60030004;

TEST_P(Dispatch, MisuseGivesTheDocumentedError) {
  const InvokeCase& c = GetParam();
  std::vector<VARIANT> args(c.args.size());
  const win::ScopedVariants cleared(args.data(), args.size());
  for (std::size_t i = 0; i < args.size(); ++i) {
    V_VT(&args[i]) = c.args[i].vt;
    if (c.args[i].vt == VT_BSTR) {
      V_BSTR(&args[i]) = SysAllocString(c.args[i].text);
    } else if (c.args[i].vt == VT_I4) {
      V_I4(&args[i]) = c.args[i].value;
    } else if (c.args[i].vt == VT_BOOL) {
      V_BOOL(&args[i]) = static_cast<VARIANT_BOOL>(c.args[i].value);
    }
  }
  std::vector<DISPID> named = c.named;
  DISPPARAMS params{};
  params.cArgs = static_cast<UINT>(args.size());
  params.rgvarg = c.nullArgs || args.empty() ? nullptr : args.data();
  params.cNamedArgs = static_cast<UINT>(named.size());
  params.rgdispidNamedArgs = named.empty() ? nullptr : named.data();
  const IID foreign = IID_IUnknown;
  win::ScopedVariant result;
  win::ExcepInfo exception;
  UINT argError = 0;
  const HRESULT hr = dispatch->Invoke(c.id, c.foreignIid ? foreign : IID_NULL, 0, c.flags,
                                      c.nullParams ? nullptr : &params, result.ptr(), exception.receive(), &argError);
  EXPECT_EQ(hr, c.expected) << std::hex << hr;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, Dispatch,
    testing::Values(
        InvokeCase{"get", kResizeFont, false, DISPATCH_PROPERTYGET, {}, {}, false, false, S_OK},
        InvokeCase{"get as method", kResizeFont, false, DISPATCH_METHOD | DISPATCH_PROPERTYGET, {}, {}, false, false, S_OK},
        InvokeCase{"put", kResizeFont, false, DISPATCH_PROPERTYPUT, {{VT_BOOL, -1, nullptr}}, {DISPID_PROPERTYPUT}, false, false, S_OK},
        InvokeCase{"put number", kResizeFont, false, DISPATCH_PROPERTYPUT, {{VT_I4, 5, nullptr}}, {DISPID_PROPERTYPUT}, false, false, S_OK},
        InvokeCase{"call", kRebuild, false, DISPATCH_METHOD, {}, {}, false, false, S_OK},
        InvokeCase{"unknown id", 12345, false, DISPATCH_METHOD, {}, {}, false, false, DISP_E_MEMBERNOTFOUND},
        InvokeCase{"IDispatch's own id", 0x60010000, false, DISPATCH_METHOD, {}, {}, false, false, DISP_E_MEMBERNOTFOUND},
        InvokeCase{"foreign interface", kResizeFont, true, DISPATCH_PROPERTYGET, {}, {}, false, false, DISP_E_UNKNOWNINTERFACE},
        InvokeCase{"null parameters", kResizeFont, false, DISPATCH_PROPERTYGET, {}, {}, true, false, E_INVALIDARG},
        InvokeCase{"null argument array", kResizeFont, false, DISPATCH_PROPERTYPUT, {{VT_BOOL, 0, nullptr}}, {DISPID_PROPERTYPUT}, false, true, E_INVALIDARG},
        InvokeCase{"get with an argument", kResizeFont, false, DISPATCH_PROPERTYGET, {{VT_I4, 1, nullptr}}, {}, false, false, DISP_E_BADPARAMCOUNT},
        InvokeCase{"get with a named argument", kResizeFont, false, DISPATCH_PROPERTYGET, {{VT_I4, 1, nullptr}}, {DISPID_PROPERTYPUT}, false, false, DISP_E_NONAMEDARGS},
        InvokeCase{"put without a value", kResizeFont, false, DISPATCH_PROPERTYPUT, {}, {}, false, false, DISP_E_BADPARAMCOUNT},
        InvokeCase{"put with two values", kResizeFont, false, DISPATCH_PROPERTYPUT, {{VT_BOOL, 0, nullptr}, {VT_BOOL, 0, nullptr}}, {DISPID_PROPERTYPUT}, false, false, DISP_E_BADPARAMCOUNT},
        InvokeCase{"put without the named value", kResizeFont, false, DISPATCH_PROPERTYPUT, {{VT_BOOL, 0, nullptr}}, {}, false, false, DISP_E_PARAMNOTFOUND},
        InvokeCase{"put text", kResizeFont, false, DISPATCH_PROPERTYPUT, {{VT_BSTR, 0, L"not a Boolean"}}, {DISPID_PROPERTYPUT}, false, false, DISP_E_TYPEMISMATCH},
        InvokeCase{"put by reference", kResizeFont, false, DISPATCH_PROPERTYPUTREF, {{VT_BOOL, 0, nullptr}}, {DISPID_PROPERTYPUT}, false, false, DISP_E_MEMBERNOTFOUND},
        InvokeCase{"method with an argument", kRebuild, false, DISPATCH_METHOD, {{VT_I4, 1, nullptr}}, {}, false, false, DISP_E_BADPARAMCOUNT},
        InvokeCase{"method as a property put", kRebuild, false, DISPATCH_PROPERTYPUT, {{VT_I4, 1, nullptr}}, {DISPID_PROPERTYPUT}, false, false, DISP_E_MEMBERNOTFOUND},
        InvokeCase{"method as a property get", kRebuild, false, DISPATCH_PROPERTYGET, {}, {}, false, false, DISP_E_MEMBERNOTFOUND}),
    [](const testing::TestParamInfo<InvokeCase>& param) {
      std::string name = param.param.what;
      for (char& ch : name) {
        if (!std::isalnum(static_cast<unsigned char>(ch))) ch = '_';
      }
      return name;
    });

TEST_F(Dispatch, NamesResolveAndUnknownNamesFail) {
  struct NameCase {
    const wchar_t* name;
    HRESULT expected;
    DISPID id;
  };
  const NameCase cases[] = {
      {L"ResizeFont", S_OK, 0x40030000}, {L"keepratio", S_OK, 0x40030001}, {L"gfLowRes", S_OK, 0x40030002},
      {L"mfRebuild", S_OK, 0x40030003},  {L"Rebuild", S_OK, 0x60030004},   {L"REFRESH", S_OK, 0x60030005},
      {L"NoSuchMember", DISP_E_UNKNOWNNAME, DISPID_UNKNOWN},
  };
  for (const NameCase& c : cases) {
    LPOLESTR name = const_cast<LPOLESTR>(c.name);
    DISPID id = 0;
    EXPECT_EQ(dispatch->GetIDsOfNames(IID_NULL, &name, 1, 0, &id), c.expected) << testing::PrintToString(c.name);
    EXPECT_EQ(id, c.id) << testing::PrintToString(c.name);
  }
  LPOLESTR name = const_cast<LPOLESTR>(L"ResizeFont");
  DISPID id = 0;
  EXPECT_EQ(dispatch->GetIDsOfNames(IID_IUnknown, &name, 1, 0, &id), DISP_E_UNKNOWNINTERFACE);
  EXPECT_EQ(dispatch->GetIDsOfNames(IID_NULL, nullptr, 1, 0, &id), E_INVALIDARG);
  EXPECT_EQ(dispatch->GetIDsOfNames(IID_NULL, &name, 1, 0, nullptr), E_INVALIDARG);
  LPOLESTR none = nullptr;
  EXPECT_EQ(dispatch->GetIDsOfNames(IID_NULL, &none, 1, 0, &id), E_INVALIDARG);

  ComPtr<ITypeInfo> info;
  EXPECT_EQ(dispatch->GetTypeInfo(1, 0, info.put()), DISP_E_BADINDEX);
  EXPECT_EQ(dispatch->GetTypeInfo(0, 0, nullptr), E_POINTER);
  EXPECT_EQ(dispatch->GetTypeInfoCount(nullptr), E_POINTER);
  UINT count = 0;
  EXPECT_EQ(dispatch->GetTypeInfoCount(&count), S_OK);
  EXPECT_EQ(count, 1u);
}

TEST_F(Dispatch, RoundTripAndExceptionThroughInvoke) {
  DISPID put = DISPID_PROPERTYPUT;
  VARIANT value;
  VariantInit(&value);
  V_VT(&value) = VT_BOOL;
  V_BOOL(&value) = VARIANT_TRUE;
  DISPPARAMS putParams{&value, &put, 1, 1};
  ASSERT_EQ(dispatch->Invoke(0x40030002, IID_NULL, 0, DISPATCH_PROPERTYPUT, &putParams, nullptr, nullptr, nullptr), S_OK);
  DISPPARAMS none{};
  win::ScopedVariant result;
  ASSERT_EQ(dispatch->Invoke(0x40030002, IID_NULL, 0, DISPATCH_PROPERTYGET, &none, result.ptr(), nullptr, nullptr), S_OK);
  EXPECT_EQ(V_VT(&result.get()), VT_BOOL);
  EXPECT_EQ(V_BOOL(&result.get()), VARIANT_TRUE);

  // Refresh without a parent form: the failure travels as an exception with its text.
  win::ExcepInfo exception;
  const HRESULT hr = dispatch->Invoke(0x60030005, IID_NULL, 0, DISPATCH_METHOD, &none, nullptr, exception.receive(), nullptr);
  EXPECT_EQ(hr, DISP_E_EXCEPTION);
  EXPECT_EQ(exception.filled(hr).scode, static_cast<SCODE>(0x800A005B));
  ASSERT_NE(exception.filled(hr).bstrDescription, nullptr);
  EXPECT_GT(SysStringLen(exception.filled(hr).bstrDescription), 0u);
}

}  // namespace
}  // namespace tolvane::test
