#include "control/com/tolvane_control.h"

#include "control/com/units.h"
#include "win/error_boundary.h"

namespace tolvane::com {

TolvaneControl::TolvaneControl()
    : redraw_([this] { return formWindow(); }),
      site_(*this, *this, redraw_),
      control_(std::make_unique<Tolvane>(site_)),
      extent_{},
      events_(*this, DIID___Tolvane) {
  setWidthTwips(control_->Image1().Width);
  setHeightTwips(control_->Image1().Height);
}

TolvaneControl::~TolvaneControl() = default;

void TolvaneControl::visitStarts() noexcept {
  AddRef();
  ++visits_;
}

void TolvaneControl::visitEnds() noexcept {
  if (--visits_ == 0 && leftContainer_) releaseContainer();
  Release();  // may be the last reference: nothing of the control is touched after it
}

void TolvaneControl::leaveContainer() noexcept {
  // A pass still running writes nothing more: every object it reached fails from now on.
  try {
    site_.leave();
  } catch (const std::bad_alloc&) {
    // The old link is cut all the same; the control is sited again only with memory to spare.
  }
  if (visits_ > 0) {
    leftContainer_ = true;
  } else {
    releaseContainer();
  }
}

void TolvaneControl::releaseContainer() noexcept {
  leftContainer_ = false;
  // Unsubscribing from the form runs host code, which may call the control again: the visit keeps
  // it alive, and the fresh Tolvane is already in place.
  const Visit visit(*this);
  std::unique_ptr<Tolvane> fresh;
  try {
    fresh = std::make_unique<Tolvane>(site_);
  } catch (const std::bad_alloc&) {
    return;  // the old one stays; nothing else can be done without memory
  }
  fresh->ResizeFont(control_->ResizeFont());
  fresh->KeepRatio(control_->KeepRatio());
  fresh->gfLowRes(control_->gfLowRes());
  fresh->mfRebuild(control_->mfRebuild());
  std::swap(control_, fresh);
}

HRESULT TolvaneControl::create(IUnknown* outer, REFIID iid, void** out) noexcept {
  if (out == nullptr) return E_POINTER;
  *out = nullptr;
  if (outer != nullptr) return CLASS_E_NOAGGREGATION;
  return win::resultOf([&] {
    const auto control = win::ComPtr<TolvaneControl>::adopt(new TolvaneControl());
    return control->QueryInterface(iid, out);
  });
}

STDMETHODIMP TolvaneControl::QueryInterface(REFIID iid, void** out) {
  // The interfaces the listed ones derive from, each reached through the one that extends it.
  if (iid == IID_IDispatch) return win::handOut(static_cast<_Tolvane*>(this), out);
  if (iid == IID_IProvideClassInfo) return win::handOut(static_cast<IProvideClassInfo2*>(this), out);
  if (iid == IID_IOleWindow) return win::handOut(static_cast<IOleInPlaceObject*>(this), out);
  if (iid == IID_IViewObject) return win::handOut(static_cast<IViewObject2*>(this), out);
  if (iid == IID_IPersist) return win::handOut(static_cast<IPersistStreamInit*>(this), out);
  // Not IObjectSafety: the control does not claim to be safe for scripting or initialisation.
  return ComObject::QueryInterface(iid, out);
}

// ---- OwnExtent: the size the control keeps, and reports in HIMETRIC

float TolvaneControl::widthTwips() const { return twips_.cx; }
float TolvaneControl::heightTwips() const { return twips_.cy; }
void TolvaneControl::setWidthTwips(float twips) {
  twips_.cx = twips;
  extent_.cx = toHimetric(twips);
}
void TolvaneControl::setHeightTwips(float twips) {
  twips_.cy = twips;
  extent_.cy = toHimetric(twips);
}

// ---- IProvideClassInfo2

STDMETHODIMP TolvaneControl::GetClassInfo(ITypeInfo** info) { return ServerModule::typeInfo(CLSID_Tolvane, info); }

STDMETHODIMP TolvaneControl::GetGUID(DWORD kind, GUID* guid) {
  if (guid == nullptr) return E_POINTER;
  if (kind != GUIDKIND_DEFAULT_SOURCE_DISP_IID) {
    *guid = GUID_NULL;
    return E_INVALIDARG;
  }
  *guid = DIID___Tolvane;
  return S_OK;
}

// ---- ISupportErrorInfo

STDMETHODIMP TolvaneControl::InterfaceSupportsErrorInfo(REFIID iid) {
  return iid == IID__Tolvane || iid == IID_IOleObject || iid == IID_IPersistPropertyBag ||
                 iid == IID_IPersistStreamInit || iid == IID_IOleInPlaceObject
             ? S_OK
             : S_FALSE;
}

}  // namespace tolvane::com
