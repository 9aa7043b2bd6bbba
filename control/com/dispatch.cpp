#include "control/com/tolvane_control.h"


namespace tolvane::com {

namespace {

VARIANT_BOOL toVariantBool(bool value) { return value ? VARIANT_TRUE : VARIANT_FALSE; }

// The members of `_Tolvane`: four Boolean properties and two methods without arguments.
struct Member {
  DISPID id;
  bool property;
};
constexpr Member kMembers[] = {
    {0x40030000, true}, {0x40030001, true}, {0x40030002, true},
    {0x40030003, true}, {0x60030004, false}, {0x60030005, false},
};

const Member* findMember(DISPID id) {
  for (const Member& member : kMembers) {
    if (member.id == id) return &member;
  }
  return nullptr;
}


}  // namespace

// ---- IDispatch

HRESULT TolvaneControl::dispatchTypes(ITypeInfo** dispatchInfo, ITypeInfo** vtableInfo) noexcept {
  win::ComPtr<ITypeInfo> dispatch;
  HRESULT hr = ServerModule::typeInfo(IID__Tolvane, dispatch.put());
  if (FAILED(hr)) return hr;
  if (vtableInfo != nullptr) {
    // The dual interface's vtable half: ITypeInfo::Invoke calls through it.
    HREFTYPE vtable = 0;
    hr = dispatch->GetRefTypeOfImplType(static_cast<UINT>(-1), &vtable);
    if (SUCCEEDED(hr)) hr = dispatch->GetRefTypeInfo(vtable, vtableInfo);
    if (FAILED(hr)) return hr;
  }
  *dispatchInfo = dispatch.detach();
  return S_OK;
}

STDMETHODIMP TolvaneControl::GetTypeInfoCount(UINT* count) {
  if (count == nullptr) return E_POINTER;
  *count = 1;
  return S_OK;
}

STDMETHODIMP TolvaneControl::GetTypeInfo(UINT index, LCID, ITypeInfo** info) {
  if (info == nullptr) return E_POINTER;
  *info = nullptr;
  if (index != 0) return DISP_E_BADINDEX;
  return ServerModule::typeInfo(IID__Tolvane, info);
}

STDMETHODIMP TolvaneControl::GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT count, LCID, DISPID* ids) {
  if (iid != IID_NULL) return DISP_E_UNKNOWNINTERFACE;
  if (names == nullptr || ids == nullptr || count == 0) return E_INVALIDARG;
  for (UINT i = 0; i < count; ++i) {
    if (names[i] == nullptr) return E_INVALIDARG;
  }
  win::ComPtr<ITypeInfo> info;
  const HRESULT hr = dispatchTypes(info.put(), nullptr);
  if (FAILED(hr)) return hr;
  return info->GetIDsOfNames(names, count, ids);
}

STDMETHODIMP TolvaneControl::Invoke(DISPID id, REFIID iid, LCID, WORD flags, DISPPARAMS* params, VARIANT* result,
                                    EXCEPINFO* exception, UINT* argError) {
  if (iid != IID_NULL) return DISP_E_UNKNOWNINTERFACE;
  if (params == nullptr) return E_INVALIDARG;
  if ((params->cArgs > 0 && params->rgvarg == nullptr) ||
      (params->cNamedArgs > 0 && params->rgdispidNamedArgs == nullptr) || params->cNamedArgs > params->cArgs) {
    return E_INVALIDARG;
  }
  const Member* member = findMember(id);
  if (member == nullptr) return DISP_E_MEMBERNOTFOUND;

  // The shape of the call is checked here, so that the type information only ever sees calls
  // that match a member.
  WORD kind = 0;
  if (member->property && (flags & DISPATCH_PROPERTYPUT) != 0) {
    if (params->cArgs != 1) return DISP_E_BADPARAMCOUNT;
    if (params->cNamedArgs != 1 || params->rgdispidNamedArgs[0] != DISPID_PROPERTYPUT) return DISP_E_PARAMNOTFOUND;
    kind = DISPATCH_PROPERTYPUT;
  } else if ((member->property && (flags & (DISPATCH_PROPERTYGET | DISPATCH_METHOD)) != 0) ||
             (!member->property && (flags & DISPATCH_METHOD) != 0)) {
    if (params->cNamedArgs != 0) return DISP_E_NONAMEDARGS;
    if (params->cArgs != 0) return DISP_E_BADPARAMCOUNT;
    kind = member->property ? DISPATCH_PROPERTYGET : DISPATCH_METHOD;
  } else {
    return DISP_E_MEMBERNOTFOUND;
  }

  win::ComPtr<ITypeInfo> dispatchInfo;
  win::ComPtr<ITypeInfo> vtableInfo;
  const HRESULT hr = dispatchTypes(dispatchInfo.put(), vtableInfo.put());
  if (FAILED(hr)) return hr;
  SetErrorInfo(0, nullptr);
  return vtableInfo->Invoke(static_cast<_Tolvane*>(this), id, kind, params, result, exception, argError);
}

// ---- _Tolvane

STDMETHODIMP TolvaneControl::get_ResizeFont(VARIANT_BOOL* value) {
  if (value == nullptr) return E_POINTER;
  *value = toVariantBool(control_->ResizeFont());
  return S_OK;
}
STDMETHODIMP TolvaneControl::put_ResizeFont(VARIANT_BOOL value) {
  control_->ResizeFont(value != VARIANT_FALSE);
  return S_OK;
}
STDMETHODIMP TolvaneControl::get_KeepRatio(VARIANT_BOOL* value) {
  if (value == nullptr) return E_POINTER;
  *value = toVariantBool(control_->KeepRatio());
  return S_OK;
}
STDMETHODIMP TolvaneControl::put_KeepRatio(VARIANT_BOOL value) {
  control_->KeepRatio(value != VARIANT_FALSE);
  return S_OK;
}
STDMETHODIMP TolvaneControl::get_gfLowRes(VARIANT_BOOL* value) {
  if (value == nullptr) return E_POINTER;
  *value = toVariantBool(control_->gfLowRes());
  return S_OK;
}
STDMETHODIMP TolvaneControl::put_gfLowRes(VARIANT_BOOL value) {
  control_->gfLowRes(value != VARIANT_FALSE);
  return S_OK;
}
STDMETHODIMP TolvaneControl::get_mfRebuild(VARIANT_BOOL* value) {
  if (value == nullptr) return E_POINTER;
  *value = toVariantBool(control_->mfRebuild());
  return S_OK;
}
STDMETHODIMP TolvaneControl::put_mfRebuild(VARIANT_BOOL value) {
  control_->mfRebuild(value != VARIANT_FALSE);
  return S_OK;
}

STDMETHODIMP TolvaneControl::Rebuild() {
  return guarded(IID__Tolvane, [&] {
    const FormRedraw::Pass pass(redraw_);
    control_->Rebuild();
    return S_OK;
  });
}

STDMETHODIMP TolvaneControl::Refresh() {
  return guarded(IID__Tolvane, [&] {
    const FormRedraw::Pass pass(redraw_);
    control_->Refresh();
    return S_OK;
  });
}

}  // namespace tolvane::com
