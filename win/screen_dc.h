// The screen's device context (GetDC(nullptr)), given back when it goes.
#pragma once

#include <windows.h>

namespace tolvane::win {

class ScreenDC {
 public:
  ScreenDC() noexcept : dc_(GetDC(nullptr)) {}
  ~ScreenDC() {
    if (dc_ != nullptr) ReleaseDC(nullptr, dc_);
  }
  ScreenDC(const ScreenDC&) = delete;
  ScreenDC& operator=(const ScreenDC&) = delete;
  HDC get() const noexcept { return dc_; }
  explicit operator bool() const noexcept { return dc_ != nullptr; }

 private:
  HDC dc_;
};

}  // namespace tolvane::win
