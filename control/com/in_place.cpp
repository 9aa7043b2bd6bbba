#include "control/com/tolvane_control.h"

#include "control/com/units.h"

namespace tolvane::com {

// ---- in-place activation, asked for through IOleObject::DoVerb

HRESULT TolvaneControl::activateInPlace(IOleClientSite* site, LPCRECT position) noexcept {
  if (site == nullptr) return E_UNEXPECTED;
  if (!inPlaceSite_) {
    win::ComPtr<IOleInPlaceSite> inPlace = win::ComPtr<IOleClientSite>(site).query<IOleInPlaceSite>(IID_IOleInPlaceSite);
    // A container without in-place sites can still draw the control through IViewObject.
    if (!inPlace) return S_OK;
    if (inPlace->CanInPlaceActivate() != S_OK) return E_FAIL;
    const HRESULT hr = inPlace->OnInPlaceActivate();
    if (FAILED(hr)) return hr;
    inPlaceSite_ = inPlace;
    win::ComPtr<IOleInPlaceFrame> frame;
    win::ComPtr<IOleInPlaceUIWindow> document;
    RECT where{};
    RECT clip{};
    OLEINPLACEFRAMEINFO frameInfo{};
    frameInfo.cb = sizeof frameInfo;
    if (SUCCEEDED(inPlace->GetWindowContext(frame.put(), document.put(), &where, &clip, &frameInfo))) {
      position_ = where;
    }
  }
  if (position != nullptr) position_ = *position;
  if (sizing_) return S_OK;
  setWidthTwips(fromPixels(position_.right - position_.left));
  setHeightTwips(fromPixels(position_.bottom - position_.top));
  return lockSize(IID_IOleObject);
}

// ---- IOleInPlaceObject

STDMETHODIMP TolvaneControl::GetWindow(HWND* window) {
  if (window == nullptr) return E_POINTER;
  // The control has no window of its own: it only draws its picture at design time.
  *window = nullptr;
  return E_FAIL;
}
STDMETHODIMP TolvaneControl::ContextSensitiveHelp(BOOL) { return E_NOTIMPL; }

STDMETHODIMP TolvaneControl::InPlaceDeactivate() {
  win::ComPtr<IOleInPlaceSite> inPlace = std::move(inPlaceSite_);
  inPlaceSite_.reset();
  if (inPlace) inPlace->OnInPlaceDeactivate();
  return S_OK;
}

STDMETHODIMP TolvaneControl::UIDeactivate() { return S_OK; }

STDMETHODIMP TolvaneControl::SetObjectRects(LPCRECT position, LPCRECT) {
  if (position == nullptr) return E_POINTER;
  position_ = *position;
  if (sizing_) return S_OK;
  setWidthTwips(fromPixels(position->right - position->left));
  setHeightTwips(fromPixels(position->bottom - position->top));
  return lockSize(IID_IOleInPlaceObject);
}

STDMETHODIMP TolvaneControl::ReactivateAndUndo() { return INPLACE_E_NOTUNDOABLE; }

}  // namespace tolvane::com
