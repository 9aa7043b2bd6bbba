#include "control/com/tolvane_control.h"


namespace tolvane::com {

// ---- IPersistStreamInit, IPersistPropertyBag

STDMETHODIMP TolvaneControl::GetClassID(CLSID* clsid) {
  if (clsid == nullptr) return E_POINTER;
  *clsid = CLSID_Tolvane;
  return S_OK;
}

// Nothing of the control is saved with the form, so there is never anything to save.
STDMETHODIMP TolvaneControl::IsDirty() { return S_FALSE; }

HRESULT TolvaneControl::readProperties(REFIID iid) noexcept {
  return guarded(iid, [&] {
    control_->UserControl_ReadProperties();
    return S_OK;
  });
}

STDMETHODIMP TolvaneControl::Load(LPSTREAM stream) {
  if (stream == nullptr) return E_POINTER;
  return readProperties(IID_IPersistStreamInit);
}

STDMETHODIMP TolvaneControl::Save(LPSTREAM stream, BOOL) { return stream == nullptr ? E_POINTER : S_OK; }

STDMETHODIMP TolvaneControl::GetSizeMax(ULARGE_INTEGER* size) {
  if (size == nullptr) return E_POINTER;
  size->QuadPart = 0;
  return S_OK;
}

STDMETHODIMP TolvaneControl::InitNew() { return S_OK; }

STDMETHODIMP TolvaneControl::Load(IPropertyBag* bag, IErrorLog*) {
  if (bag == nullptr) return E_POINTER;
  return readProperties(IID_IPersistPropertyBag);
}

STDMETHODIMP TolvaneControl::Save(IPropertyBag* bag, BOOL, BOOL) { return bag == nullptr ? E_POINTER : S_OK; }

}  // namespace tolvane::com
