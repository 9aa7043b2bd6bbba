// What the demo host gives the control it hosts: the client site (ambient properties, and the
// extended control whose Parent is the form) and the class object it is made by.
#pragma once

#include <ocidl.h>
#include <olectl.h>

#include "win/client_site.h"
#include "win/com_object.h"
#include "win/com_ptr.h"

namespace tolvane::demohost {

// The client site of the hosted control: ambient properties (run time), and the extended control
// whose Parent is the form.
class ControlSite final : public win::ClientSite {
 public:
  ControlSite(IDispatch* extended, bool userMode) : extended_(extended), userMode_(userMode) {}
  void close() { extended_.reset(); }

  // IOleControlSite
  STDMETHODIMP GetExtendedControl(IDispatch** out) override {
    if (out == nullptr) return E_POINTER;
    *out = nullptr;
    if (!extended_) return E_NOTIMPL;
    return extended_.copy_to(out);
  }

  // IDispatch: the ambient properties; a running form's UserMode is True.
  STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) override {
    if (names == nullptr || ids == nullptr || count != 1) return E_INVALIDARG;
    if (lstrcmpiW(names[0], L"UserMode") != 0) {
      ids[0] = DISPID_UNKNOWN;
      return DISP_E_UNKNOWNNAME;
    }
    ids[0] = DISPID_AMBIENT_USERMODE;
    return S_OK;
  }
  STDMETHODIMP Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS*, VARIANT* result, EXCEPINFO*, UINT*) override {
    if (id != DISPID_AMBIENT_USERMODE || (flags & DISPATCH_PROPERTYGET) == 0) return DISP_E_MEMBERNOTFOUND;
    if (result == nullptr) return E_POINTER;
    V_VT(result) = VT_BOOL;
    V_BOOL(result) = userMode_ ? VARIANT_TRUE : VARIANT_FALSE;
    return S_OK;
  }

 private:
  ~ControlSite() override = default;
  win::ComPtr<IDispatch> extended_;
  bool userMode_;
};

// The class object of Tolvane: from Brenmoor.ocx next to the program, else from the registration.
win::ComPtr<IClassFactory> tolvaneFactory();

}  // namespace tolvane::demohost
