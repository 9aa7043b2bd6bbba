#include <cmath>
#include <cstdint>

#include "control/com/tolvane_control.h"
#include "hostmodel/convert.h"

namespace tolvane::com {

namespace {

// A window the control may switch the redraw of: one of this thread's own (a form of the control's
// apartment), never the desktop or another program's window that a container happens to name.
HWND ownWindow(HWND window) {
  if (window == nullptr || !IsWindow(window) || window == GetDesktopWindow()) return nullptr;
  return GetWindowThreadProcessId(window, nullptr) == GetCurrentThreadId() ? window : nullptr;
}

// A window handle as a form's engine gives it (a Long).
HWND windowOf(const host::Value& value) {
  const double handle = host::convert::toNumber(value);
  if (!std::isfinite(handle) || std::trunc(handle) != handle || std::fabs(handle) > 9.0e15) return nullptr;
  // Handles have 32 significant bits; a negative Long is sign-extended, as the platform does.
  return ownWindow(reinterpret_cast<HWND>(static_cast<std::intptr_t>(static_cast<long long>(handle))));
}

}  // namespace

HWND TolvaneControl::formWindow() noexcept {
  // Without a form there is no relayout to hide.
  if (!control_->state().ParentForm.attached()) return nullptr;
  // The form's own window first: the relayout moves the form's controls, wherever the control sits
  // (an in-place site may be a frame or picture box inside the form).
  try {
    if (HWND window = windowOf(control_->state().parentForm()->get("hWnd"))) return window;
  } catch (...) {
    // A form without hWnd: the in-place site's window is the next best.
  }
  win::ComPtr<IOleInPlaceSite> inPlace = inPlaceSite_;
  if (!inPlace && site_.clientSite() != nullptr) {
    inPlace = win::ComPtr<IOleClientSite>(site_.clientSite()).query<IOleInPlaceSite>(IID_IOleInPlaceSite);
  }
  HWND window = nullptr;
  if (!inPlace || FAILED(inPlace->GetWindow(&window))) return nullptr;
  return ownWindow(window);
}

}  // namespace tolvane::com
