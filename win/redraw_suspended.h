// A window's redraw switched off for a scope: WM_SETREDRAW FALSE when it starts; at its end, also
// when it is left by an exception, WM_SETREDRAW TRUE and one redraw of the window, its frame and
// all its children. Whatever moved meanwhile is drawn once, in its final place, with no erase of
// the places in between.
#pragma once

#include <windows.h>

namespace tolvane::win {

class RedrawSuspended {
 public:
  // A window that is not visible is left alone: hidden, nothing is drawn anyway; with its redraw
  // already off, whoever switched it off switches it on again.
  explicit RedrawSuspended(HWND window) noexcept {
    if (window == nullptr || !IsWindow(window) || !IsWindowVisible(window)) return;
    SendMessageW(window, WM_SETREDRAW, FALSE, 0);
    window_ = window;
  }
  ~RedrawSuspended() {
    if (window_ == nullptr || !IsWindow(window_)) return;
    SendMessageW(window_, WM_SETREDRAW, TRUE, 0);
    RedrawWindow(window_, nullptr, nullptr, RDW_ALLCHILDREN | RDW_ERASE | RDW_FRAME | RDW_INVALIDATE);
  }
  RedrawSuspended(const RedrawSuspended&) = delete;
  RedrawSuspended& operator=(const RedrawSuspended&) = delete;

  // The window whose redraw is off, or null when it was left alone.
  HWND window() const noexcept { return window_; }

 private:
  HWND window_ = nullptr;
};

}  // namespace tolvane::win
