// The control in a hostile container: a form whose controls return odd VARIANTs, fail at every
// member, or have the host unload the layout control from inside one of its stores; and a form
// unloaded while its extender holds the control and lists it in Controls, as a real form does.
// After every case nothing of the host is left alive, the server can unload, and the control has
// written nothing after it left its site.
#include <windows.h>
#include <olectl.h>

#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "Brenmoor.h"
#include "support.h"
#include "win/client_site.h"
#include "win/com_object.h"
#include "win/connection_point.h"
#include "win/empty_property_bag.h"
#include "win/scoped_bstr.h"
#include "win/scoped_variant.h"
#include "win/untyped_dispatch.h"

#include <initguid.h>  // after every other header: defines the demo host's identifiers here, once

#include "DemoHost.h"

namespace tolvane::test {
namespace {

// Every object of the host counts itself while it lives.
int gAlive = 0;
struct Counted {
  Counted() { ++gAlive; }
  ~Counted() { --gAlive; }
  Counted(const Counted&) = delete;
  Counted& operator=(const Counted&) = delete;
};

constexpr DISPID kLoad = 1;  // the form's events, as the demo host's type library numbers them
constexpr DISPID kResize = 2;
constexpr HRESULT kObjectNotSet = static_cast<HRESULT>(0x800A005B);

enum class Misbehaviour {
  None,
  OddVariants,     // every read of a control answers a VARIANT no layout can use
  FailEverything,  // every call on a control fails, in one of the ways hosts fail
  UnloadInStore,   // the first store to a control makes the host unload the layout control
};

class HostForm;
class HostControl;

// The container's side of one case.
struct Host {
  Misbehaviour misbehaviour = Misbehaviour::None;
  int calls = 0;              // stores and calls the control made to the host's objects
  int callsAfterLeaving = 0;  // ... after it was closed and had its client site taken away
  bool left = false;
  win::ComPtr<IOleObject> control;  // the host's own reference
  win::ComPtr<HostForm> form;
  win::ComPtr<HostControl> extender;

  // What a form's unload does: the control is closed, loses its site and is let go by the form
  // (its extender still holds it).
  void unload();
  void leave() {
    control->Close(OLECLOSE_NOSAVE);
    control->SetClientSite(nullptr);
    left = true;
  }
};

// A plain object that cannot be reached late-bound.
class Opaque final : public win::ComObject<IUnknown> {
 private:
  ~Opaque() override = default;
  Counted counted_;
};

// VARIANTs that no read of a position, size or text can use.
using OddMaker = void (*)(VARIANT*);
const OddMaker kOddVariants[] = {
    [](VARIANT* v) { V_VT(v) = VT_NULL; },
    [](VARIANT* v) {
      V_VT(v) = VT_ERROR;
      V_ERROR(v) = DISP_E_PARAMNOTFOUND;
    },
    [](VARIANT* v) {
      V_VT(v) = VT_BSTR;
      V_BSTR(v) = win::ScopedBstr(L"twelve hundred").release();
    },
    [](VARIANT* v) {
      V_VT(v) = VT_ARRAY | VT_I4;
      V_ARRAY(v) = SafeArrayCreateVector(VT_I4, 0, 3);
    },
    [](VARIANT* v) {
      V_VT(v) = VT_DISPATCH;
      V_DISPATCH(v) = nullptr;
    },
    [](VARIANT* v) {
      V_VT(v) = VT_UNKNOWN;
      V_UNKNOWN(v) = new Opaque();
    },
    [](VARIANT* v) {
      V_VT(v) = VT_R8;
      V_R8(v) = std::numeric_limits<double>::quiet_NaN();
    },
    [](VARIANT* v) {
      V_VT(v) = VT_R8;
      V_R8(v) = 1e300;
    },
    [](VARIANT* v) {
      V_VT(v) = VT_I8;
      V_I8(v) = LLONG_MAX;
    },
    [](VARIANT* v) {
      static double referenced = -7e38;
      V_VT(v) = VT_BYREF | VT_R8;
      V_R8REF(v) = &referenced;
    },
};

// The ways a host's Invoke fails.
HRESULT STDAPICALLTYPE deferredFill(EXCEPINFO* exception) {
  exception->scode = E_FAIL;
  exception->bstrDescription = win::ScopedBstr(L"filled in late").release();
  return S_OK;
}
using Failure = HRESULT (*)(VARIANT* result, EXCEPINFO* exception);
const Failure kFailures[] = {
    [](VARIANT*, EXCEPINFO* exception) {
      if (exception == nullptr) return E_FAIL;
      exception->pfnDeferredFillIn = deferredFill;
      exception->bstrSource = win::ScopedBstr(L"Host").release();
      return DISP_E_EXCEPTION;
    },
    [](VARIANT*, EXCEPINFO* exception) {
      if (exception == nullptr) return E_FAIL;
      exception->wCode = 1004;  // an application-defined error
      return DISP_E_EXCEPTION;
    },
    [](VARIANT* result, EXCEPINFO*) {
      // A careless host leaves a value behind even though it fails.
      if (result != nullptr) {
        V_VT(result) = VT_BSTR;
        V_BSTR(result) = win::ScopedBstr(L"left behind").release();
      }
      return E_FAIL;
    },
    [](VARIANT*, EXCEPINFO*) { return DISP_E_MEMBERNOTFOUND; },
    [](VARIANT*, EXCEPINFO*) { return RPC_E_DISCONNECTED; },
    [](VARIANT*, EXCEPINFO*) { return DISP_E_TYPEMISMATCH; },
};

// Named members of the host's objects; 0 is none.
DISPID memberId(const wchar_t* name) {
  static const wchar_t* const kNames[] = {L"Left",  L"Top",     L"Width",      L"Height",      L"Font",
                                          L"Size",  L"Name",    L"Text",       L"Visible",     L"Parent",
                                          L"Count", L"Controls", L"ScaleWidth", L"ScaleHeight", L"WindowState"};
  for (std::size_t i = 0; i < std::size(kNames); ++i) {
    if (lstrcmpiW(name, kNames[i]) == 0) return static_cast<DISPID>(i + 1);
  }
  return 0;
}
std::wstring memberName(DISPID id) {
  static const wchar_t* const kNames[] = {L"",     L"Left",  L"Top",     L"Width",      L"Height",      L"Font",
                                          L"Size", L"Name",  L"Text",    L"Visible",    L"Parent",      L"Count",
                                          L"Controls", L"ScaleWidth", L"ScaleHeight", L"WindowState"};
  return id >= 0 && id < static_cast<DISPID>(std::size(kNames)) ? kNames[id] : L"";
}

// The part every host object shares: members by name, the count of what the control asks of it.
class HostObject : public win::UntypedDispatch<IDispatch> {
 public:
  explicit HostObject(Host& host) : host_(host) {}

  STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) override {
    for (UINT i = 0; i < count; ++i) ids[i] = DISPID_UNKNOWN;
    const DISPID id = named(names[0]);
    if (id == 0) return DISP_E_UNKNOWNNAME;
    ids[0] = id;
    return count == 1 ? S_OK : DISP_E_UNKNOWNNAME;
  }
  STDMETHODIMP Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params, VARIANT* result, EXCEPINFO* exception,
                      UINT*) override {
    const bool write = (flags & (DISPATCH_PROPERTYPUT | DISPATCH_METHOD)) != 0 && (flags & DISPATCH_PROPERTYGET) == 0;
    if (write) {
      ++host_.calls;
      if (host_.left) ++host_.callsAfterLeaving;
    }
    if (result != nullptr) VariantInit(result);
    return answer(id, flags, *params, result, exception);
  }

 protected:
  ~HostObject() override = default;
  virtual DISPID named(const wchar_t* name) { return memberId(name); }
  virtual HRESULT answer(DISPID id, WORD flags, const DISPPARAMS& params, VARIANT* result, EXCEPINFO* exception) = 0;

  Host& host_;

 private:
  Counted counted_;
};

void putNumber(VARIANT* result, double value) {
  if (result == nullptr) return;
  V_VT(result) = VT_R4;
  V_R4(result) = static_cast<float>(value);
}
void putObject(VARIANT* result, IDispatch* object) {
  if (result == nullptr) return;
  V_VT(result) = VT_DISPATCH;
  V_DISPATCH(result) = win::ComPtr<IDispatch>(object).detach();
}
double numberOf(const DISPPARAMS& params) {
  win::ScopedVariant number;
  if (params.cArgs != 1 || FAILED(VariantChangeType(number.ptr(), &params.rgvarg[0], 0, VT_R8))) return 0;
  return V_R8(&number.get());
}

class HostFont final : public HostObject {
 public:
  explicit HostFont(Host& host) : HostObject(host) {}

 private:
  HRESULT answer(DISPID id, WORD flags, const DISPPARAMS& params, VARIANT* result, EXCEPINFO*) override {
    if (memberName(id) != L"Size") return DISP_E_MEMBERNOTFOUND;
    if ((flags & DISPATCH_PROPERTYPUT) != 0) {
      size_ = numberOf(params);
    } else {
      putNumber(result, size_);
    }
    return S_OK;
  }
  double size_ = 8.25;
};

// A control of the form; the extender of the layout control is one too, and may hold it.
class HostControl final : public HostObject {
 public:
  HostControl(Host& host, std::wstring name, double left, bool misbehaves)
      : HostObject(host), name_(std::move(name)), geometry_{left, 120, 1200, 285}, misbehaves_(misbehaves),
        font_(win::ComPtr<HostFont>::adopt(new HostFont(host))) {}

  void hold(IUnknown* control) { held_ = win::ComPtr<IUnknown>(control); }
  void setParent(IDispatch* form) { parent_ = win::ComPtr<IDispatch>(form); }
  // A closing form lets go of what its controls reference; an extender lets its control go only
  // when it goes itself.
  void close() {
    parent_.reset();
    font_.reset();
  }

 private:
  HRESULT answer(DISPID id, WORD flags, const DISPPARAMS& params, VARIANT* result, EXCEPINFO* exception) override {
    const std::wstring member = memberName(id);
    if (member == L"Parent") {
      if (!parent_) return DISP_E_MEMBERNOTFOUND;
      putObject(result, parent_.get());
      return S_OK;
    }
    const bool store = (flags & DISPATCH_PROPERTYPUT) != 0;
    if (misbehaves_) {
      switch (host_.misbehaviour) {
        case Misbehaviour::OddVariants:
          if (!store && result != nullptr) {
            kOddVariants[next_++ % std::size(kOddVariants)](result);
            return S_OK;
          }
          break;
        case Misbehaviour::FailEverything:
          return kFailures[next_++ % std::size(kFailures)](result, exception);
        case Misbehaviour::UnloadInStore:
          if (store) host_.unload();
          break;
        case Misbehaviour::None:
          break;
      }
    }
    if (member == L"Font") {
      if (!font_) return DISP_E_MEMBERNOTFOUND;
      putObject(result, font_.get());
      return S_OK;
    }
    if (member == L"Name" || member == L"Text") {
      if (store) return S_OK;
      if (result != nullptr) {
        V_VT(result) = VT_BSTR;
        V_BSTR(result) = win::ScopedBstr(member == L"Name" ? name_ : std::wstring(L"True")).release();
      }
      return S_OK;
    }
    if (member == L"Visible") {
      if (result != nullptr) {
        V_VT(result) = VT_BOOL;
        V_BOOL(result) = VARIANT_TRUE;
      }
      return S_OK;
    }
    static const wchar_t* const kGeometry[] = {L"Left", L"Top", L"Width", L"Height"};
    for (std::size_t i = 0; i < 4; ++i) {
      if (member != kGeometry[i]) continue;
      if (store) {
        geometry_[i] = numberOf(params);
      } else {
        putNumber(result, geometry_[i]);
      }
      return S_OK;
    }
    return DISP_E_MEMBERNOTFOUND;
  }

  std::wstring name_;
  double geometry_[4];
  bool misbehaves_;
  win::ComPtr<HostFont> font_;
  win::ComPtr<IUnknown> held_;
  win::ComPtr<IDispatch> parent_;
  std::size_t next_ = 0;
};

class HostControls final : public HostObject {
 public:
  HostControls(Host& host, std::vector<win::ComPtr<HostControl>>& controls) : HostObject(host), controls_(&controls) {}
  void close() { controls_ = nullptr; }

 private:
  HRESULT answer(DISPID id, WORD, const DISPPARAMS& params, VARIANT* result, EXCEPINFO*) override {
    if (controls_ == nullptr) return E_UNEXPECTED;
    if (id == DISPID_VALUE) {
      const auto index = static_cast<std::size_t>(numberOf(params));
      if (index >= controls_->size()) return DISP_E_BADINDEX;
      putObject(result, (*controls_)[index].get());
      return S_OK;
    }
    if (memberName(id) != L"Count") return DISP_E_MEMBERNOTFOUND;
    if (result != nullptr) {
      V_VT(result) = VT_I4;
      V_I4(result) = static_cast<LONG>(controls_->size());
    }
    return S_OK;
  }
  std::vector<win::ComPtr<HostControl>>* controls_;
};

// The form: members by name, class information from the demo host's type library (in this
// program's resources), and the connection point of its Load and Resize.
class HostForm final : public HostObject, public IProvideClassInfo, public IConnectionPointContainer {
 public:
  explicit HostForm(Host& host) : HostObject(host), events_(*this, DIID_FormEvents) {
    collection_ = win::ComPtr<HostControls>::adopt(new HostControls(host, controls));
  }

  std::vector<win::ComPtr<HostControl>> controls;
  double width = 9600;
  double height = 7200;

  STDMETHODIMP QueryInterface(REFIID iid, void** out) override {
    if (IUnknown* found = win::interfaceOf<IProvideClassInfo, IConnectionPointContainer>(this, iid)) {
      return win::handOut(found, out);
    }
    return HostObject::QueryInterface(iid, out);
  }
  STDMETHODIMP_(ULONG) AddRef() override { return HostObject::AddRef(); }
  STDMETHODIMP_(ULONG) Release() override { return HostObject::Release(); }

  STDMETHODIMP GetClassInfo(ITypeInfo** info) override {
    *info = nullptr;
    wchar_t self[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    win::ComPtr<ITypeLib> library;
    if (FAILED(LoadTypeLibEx(self, REGKIND_NONE, library.put()))) return TYPE_E_CANTLOADLIBRARY;
    return library->GetTypeInfoOfGuid(CLSID_DemoForm, info);
  }
  STDMETHODIMP EnumConnectionPoints(IEnumConnectionPoints** points) override { return events_.enumerate(points); }
  STDMETHODIMP FindConnectionPoint(REFIID iid, IConnectionPoint** point) override { return events_.find(iid, point); }

  std::size_t sinks() const { return events_.connections().size(); }

  // The form's event, to every sink still advised when its turn comes.
  void raise(DISPID id) {
    const auto sinks = events_.connections();
    for (const auto& [cookie, sink] : sinks) {
      if (!events_.advised(cookie)) continue;
      DISPPARAMS none{};
      sink->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &none, nullptr, nullptr, nullptr);
    }
  }
  void resizeTo(double newWidth, double newHeight) {
    width = newWidth;
    height = newHeight;
    raise(kResize);
  }

  // A closed form lets go of its controls and of every sink still advised.
  void close() {
    for (auto& control : controls) control->close();
    controls.clear();
    collection_->close();
    collection_.reset();
    events_.dropConnections();
  }

 private:
  ~HostForm() override = default;

  DISPID named(const wchar_t* name) override {
    for (std::size_t i = 0; i < controlNames.size(); ++i) {
      if (lstrcmpiW(name, controlNames[i].c_str()) == 0) return static_cast<DISPID>(100 + i);
    }
    return memberId(name);
  }
  HRESULT answer(DISPID id, WORD flags, const DISPPARAMS& params, VARIANT* result, EXCEPINFO*) override {
    if (id >= 100 && static_cast<std::size_t>(id - 100) < controls.size()) {
      putObject(result, controls[static_cast<std::size_t>(id - 100)].get());
      return S_OK;
    }
    const std::wstring member = memberName(id);
    const bool store = (flags & DISPATCH_PROPERTYPUT) != 0;
    if (member == L"Controls" && collection_) {
      putObject(result, collection_.get());
      return S_OK;
    }
    if (member == L"WindowState") {
      if (result != nullptr) {
        V_VT(result) = VT_I2;
        V_I2(result) = 0;
      }
      return S_OK;
    }
    if (member == L"Width" || member == L"ScaleWidth") {
      if (store) width = numberOf(params);
      putNumber(store ? nullptr : result, member == L"Width" ? width : width - 120);
      return S_OK;
    }
    if (member == L"Height" || member == L"ScaleHeight") {
      if (store) height = numberOf(params);
      putNumber(store ? nullptr : result, member == L"Height" ? height : height - 405);
      return S_OK;
    }
    return DISP_E_MEMBERNOTFOUND;
  }

 public:
  std::vector<std::wstring> controlNames;

 private:
  win::ConnectionPoint<> events_;
  win::ComPtr<HostControls> collection_;
};

// The client site: run time, and the extended control.
class HostSite final : public win::ClientSite {
 public:
  explicit HostSite(IDispatch* extender) : extender_(extender) {}
  void close() { extender_.reset(); }

  STDMETHODIMP GetExtendedControl(IDispatch** out) override {
    *out = nullptr;
    if (!extender_) return E_NOTIMPL;
    return extender_.copy_to(out);
  }
  STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return DISP_E_UNKNOWNNAME; }
  STDMETHODIMP Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS*, VARIANT* result, EXCEPINFO*, UINT*) override {
    if (id != DISPID_AMBIENT_USERMODE || result == nullptr) return DISP_E_MEMBERNOTFOUND;
    V_VT(result) = VT_BOOL;
    V_BOOL(result) = VARIANT_TRUE;
    return S_OK;
  }

 private:
  ~HostSite() override = default;
  win::ComPtr<IDispatch> extender_;
  Counted counted_;
};


void Host::unload() {
  if (!control) return;
  leave();
  control.reset();
}

struct HostileCase {
  const char* what;
  Misbehaviour misbehaviour;
  bool extenderHoldsControl;
};

class HostileContainer : public testing::TestWithParam<HostileCase> {};

TEST_P(HostileContainer, NoCrashNoLeakNoWriteAfterTheSiteIsGone) {
  const HostileCase& c = GetParam();
  {
    Host host;
    host.misbehaviour = c.misbehaviour;
    host.form = win::ComPtr<HostForm>::adopt(new HostForm(host));
    HostForm& form = *host.form.get();
    const wchar_t* const names[] = {L"txtRebuild", L"Text1", L"cmdSearch", L"Tolvane1"};
    for (std::size_t i = 0; i < std::size(names); ++i) {
      const bool isExtender = i + 1 == std::size(names);
      form.controlNames.push_back(names[i]);
      form.controls.push_back(win::ComPtr<HostControl>::adopt(
          new HostControl(host, names[i], 120.0 * static_cast<double>(i + 1), !isExtender && i > 0)));
    }
    host.extender = form.controls.back();
    host.extender->setParent(host.form.get());
    auto site = win::ComPtr<HostSite>::adopt(new HostSite(host.extender.get()));

    win::ComPtr<IUnknown> created = Server::instance().create();
    ASSERT_TRUE(created);
    host.control = created.query<IOleObject>(IID_IOleObject);
    created.reset();
    if (c.extenderHoldsControl) host.extender->hold(host.control.get());
    ASSERT_EQ(host.control->SetClientSite(site.get()), S_OK);
    ASSERT_EQ(host.control.query<IPersistPropertyBag>(IID_IPersistPropertyBag)->Load(win::EmptyPropertyBag::make().get(), nullptr),
              S_OK);
    ASSERT_EQ(form.sinks(), 1u) << "the control listens to its form";

    form.raise(kLoad);
    form.resizeTo(12000, 9000);  // the first pass: a snapshot and a layout
    form.resizeTo(10000, 8000);
    if (c.misbehaviour == Misbehaviour::None) {
      EXPECT_GT(host.calls, 0) << "the control laid the form out";
    }

    if (host.control) {
      // The host takes the site away; the control is still referenced.
      host.leave();
      EXPECT_EQ(form.sinks(), 0u) << "the control stopped listening to the form";
      form.resizeTo(11000, 8500);
      win::ComPtr<_Tolvane> dual = host.control.query<_Tolvane>(IID__Tolvane);
      EXPECT_EQ(dual->Refresh(), kObjectNotSet) << "Refresh fails as without a parent form";
      EXPECT_EQ(dual->Rebuild(), S_OK);
      dual.reset();
      host.unload();
    }
    EXPECT_EQ(host.callsAfterLeaving, 0) << "no write after the site is gone";

    // The form closes and lets go of everything.
    form.close();
    site->close();
    site.reset();
    host.extender.reset();
    host.form.reset();
  }
  EXPECT_EQ(gAlive, 0) << "host objects still alive";
  EXPECT_EQ(Server::instance().canUnloadNow(), S_OK);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, HostileContainer,
    testing::Values(HostileCase{"a well-behaved form unloaded", Misbehaviour::None, true},
                    HostileCase{"a form without an extender holding the control", Misbehaviour::None, false},
                    HostileCase{"odd VARIANTs", Misbehaviour::OddVariants, true},
                    HostileCase{"failing at every member", Misbehaviour::FailEverything, true},
                    HostileCase{"unloading the control inside a store", Misbehaviour::UnloadInStore, true},
                    HostileCase{"releasing the last reference inside a store", Misbehaviour::UnloadInStore, false}),
    [](const testing::TestParamInfo<HostileCase>& param) { return "case" + std::to_string(param.index); });

}  // namespace
}  // namespace tolvane::test
