#include <cmath>
#include <cstdint>

#include "control/com/tolvane_control.h"
#include "hostmodel/convert.h"

namespace tolvane::com {

namespace {

// A window handle as a form's engine gives it (a Long); null unless it names a window.
HWND windowOf(const host::Value& value) {
  const double handle = host::convert::toNumber(value);
  if (!std::isfinite(handle) || std::trunc(handle) != handle || std::fabs(handle) > 9.0e15) return nullptr;
  // Handles have 32 significant bits; a negative Long is sign-extended, as the platform does.
  HWND window = reinterpret_cast<HWND>(static_cast<std::intptr_t>(static_cast<long long>(handle)));
  return IsWindow(window) ? window : nullptr;
}

}  // namespace

HWND TolvaneControl::formWindow() noexcept {
  // The form's own window first: the relayout moves the form's controls, wherever the control sits
  // (an in-place site may be a frame or picture box inside the form).
  if (control_->state().ParentForm.attached()) {
    try {
      if (HWND window = windowOf(control_->state().parentForm()->get("hWnd"))) return window;
    } catch (...) {
      // A form without hWnd: the in-place site's window is the next best.
    }
  }
  win::ComPtr<IOleInPlaceSite> inPlace = inPlaceSite_;
  if (!inPlace && site_.clientSite() != nullptr) {
    inPlace = win::ComPtr<IOleClientSite>(site_.clientSite()).query<IOleInPlaceSite>(IID_IOleInPlaceSite);
  }
  HWND window = nullptr;
  if (inPlace && SUCCEEDED(inPlace->GetWindow(&window)) && window != nullptr && IsWindow(window)) return window;
  return nullptr;
}

}  // namespace tolvane::com
