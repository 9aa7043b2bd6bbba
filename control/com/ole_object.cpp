#include "control/com/tolvane_control.h"

#include <olectl.h>

#include "control/com/registration.h"
#include "control/com/units.h"

namespace tolvane::com {

// ---- IOleObject

STDMETHODIMP TolvaneControl::SetClientSite(IOleClientSite* site) {
  if (site == nullptr) {
    InPlaceDeactivate();
    leaveContainer();
  }
  site_.setClientSite(site);
  return S_OK;
}

STDMETHODIMP TolvaneControl::GetClientSite(IOleClientSite** site) {
  if (site == nullptr) return E_POINTER;
  return win::ComPtr<IOleClientSite>(site_.clientSite()).copy_to(site);
}

STDMETHODIMP TolvaneControl::SetHostNames(LPCOLESTR, LPCOLESTR) { return S_OK; }

STDMETHODIMP TolvaneControl::Close(DWORD) {
  InPlaceDeactivate();
  leaveContainer();
  return S_OK;
}

STDMETHODIMP TolvaneControl::SetMoniker(DWORD, IMoniker*) { return E_NOTIMPL; }
STDMETHODIMP TolvaneControl::GetMoniker(DWORD, DWORD, IMoniker** moniker) {
  if (moniker != nullptr) *moniker = nullptr;
  return E_NOTIMPL;
}
STDMETHODIMP TolvaneControl::InitFromData(IDataObject*, BOOL, DWORD) { return E_NOTIMPL; }
STDMETHODIMP TolvaneControl::GetClipboardData(DWORD, IDataObject** data) {
  if (data != nullptr) *data = nullptr;
  return E_NOTIMPL;
}

STDMETHODIMP TolvaneControl::DoVerb(LONG verb, LPMSG, IOleClientSite* activeSite, LONG, HWND, LPCRECT position) {
  switch (verb) {
    case OLEIVERB_PRIMARY:
    case OLEIVERB_SHOW:
    case OLEIVERB_INPLACEACTIVATE:
    case OLEIVERB_UIACTIVATE:
      return activateInPlace(activeSite != nullptr ? activeSite : site_.clientSite(), position);
    case OLEIVERB_HIDE:
      return InPlaceDeactivate();
    default:
      return verb < 0 ? E_NOTIMPL : OLEOBJ_S_INVALIDVERB;
  }
}

STDMETHODIMP TolvaneControl::EnumVerbs(IEnumOLEVERB** verbs) { return OleRegEnumVerbs(CLSID_Tolvane, verbs); }
STDMETHODIMP TolvaneControl::Update() { return S_OK; }
STDMETHODIMP TolvaneControl::IsUpToDate() { return S_OK; }

STDMETHODIMP TolvaneControl::GetUserClassID(CLSID* clsid) {
  if (clsid == nullptr) return E_POINTER;
  *clsid = CLSID_Tolvane;
  return S_OK;
}

STDMETHODIMP TolvaneControl::GetUserType(DWORD form, LPOLESTR* type) {
  if (type == nullptr) return E_POINTER;
  return OleRegGetUserType(CLSID_Tolvane, form, type);
}

STDMETHODIMP TolvaneControl::SetExtent(DWORD aspect, SIZEL* size) {
  if (size == nullptr) return E_POINTER;
  if (aspect != DVASPECT_CONTENT) return DV_E_DVASPECT;
  if (size->cx < 0 || size->cy < 0) return E_INVALIDARG;
  setWidthTwips(fromHimetric(size->cx));
  setHeightTwips(fromHimetric(size->cy));
  return lockSize(IID_IOleObject);
}

STDMETHODIMP TolvaneControl::GetExtent(DWORD aspect, SIZEL* size) {
  if (size == nullptr) return E_POINTER;
  if (aspect != DVASPECT_CONTENT) return DV_E_DVASPECT;
  *size = extent_;
  return S_OK;
}

// An in-place container is told the rectangle that follows from the size the control keeps.
HRESULT TolvaneControl::lockSize(REFIID iid) noexcept {
  if (sizing_) return S_OK;
  sizing_ = true;
  HRESULT hr = guarded(iid, [&] {
    control_->UserControl_Resize();
    return S_OK;
  });
  if (inPlaceSite_) {
    RECT wanted = position_;
    wanted.right = wanted.left + toPixels(widthTwips());
    wanted.bottom = wanted.top + toPixels(heightTwips());
    if (!EqualRect(&wanted, &position_)) {
      position_ = wanted;
      inPlaceSite_->OnPosRectChange(&wanted);
    }
  }
  sizing_ = false;
  if (viewSink_) viewSink_->OnViewChange(DVASPECT_CONTENT, -1);
  return hr;
}

STDMETHODIMP TolvaneControl::Advise(IAdviseSink* sink, DWORD* cookie) {
  if (cookie == nullptr) return E_POINTER;
  *cookie = 0;
  if (sink == nullptr) return E_INVALIDARG;
  if (!adviseHolder_) {
    const HRESULT hr = CreateOleAdviseHolder(adviseHolder_.put());
    if (FAILED(hr)) return hr;
  }
  return adviseHolder_->Advise(sink, cookie);
}

STDMETHODIMP TolvaneControl::Unadvise(DWORD cookie) {
  if (!adviseHolder_) return OLE_E_NOCONNECTION;
  return adviseHolder_->Unadvise(cookie);
}

STDMETHODIMP TolvaneControl::EnumAdvise(IEnumSTATDATA** advises) {
  if (advises == nullptr) return E_POINTER;
  *advises = nullptr;
  if (!adviseHolder_) return S_OK;
  return adviseHolder_->EnumAdvise(advises);
}

STDMETHODIMP TolvaneControl::GetMiscStatus(DWORD, DWORD* status) {
  if (status == nullptr) return E_POINTER;
  *status = tolvaneRecord().miscStatus;
  return S_OK;
}

STDMETHODIMP TolvaneControl::SetColorScheme(LOGPALETTE*) { return E_NOTIMPL; }

// ---- IOleControl

STDMETHODIMP TolvaneControl::GetControlInfo(CONTROLINFO* info) {
  if (info == nullptr) return E_POINTER;
  info->hAccel = nullptr;
  info->cAccel = 0;
  info->dwFlags = 0;
  return S_OK;
}
STDMETHODIMP TolvaneControl::OnMnemonic(MSG*) { return E_NOTIMPL; }
STDMETHODIMP TolvaneControl::OnAmbientPropertyChange(DISPID) {
  // The picture depends on the design/run mode.
  if (viewSink_) viewSink_->OnViewChange(DVASPECT_CONTENT, -1);
  return S_OK;
}
STDMETHODIMP TolvaneControl::FreezeEvents(BOOL) { return S_OK; }

}  // namespace tolvane::com
