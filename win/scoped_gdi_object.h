// A GDI object (font, bitmap, brush) deleted when it goes.
#pragma once

#include <windows.h>

#include <utility>

namespace tolvane::win {

template <class Handle>
class ScopedGdiObject {
 public:
  ScopedGdiObject() = default;
  explicit ScopedGdiObject(Handle handle) noexcept : h_(handle) {}
  ScopedGdiObject(ScopedGdiObject&& other) noexcept : h_(std::exchange(other.h_, nullptr)) {}
  ScopedGdiObject& operator=(ScopedGdiObject&& other) noexcept {
    reset(std::exchange(other.h_, nullptr));
    return *this;
  }
  ~ScopedGdiObject() { reset(); }

  Handle get() const noexcept { return h_; }
  explicit operator bool() const noexcept { return h_ != nullptr; }
  void reset(Handle handle = nullptr) noexcept {
    if (Handle old = std::exchange(h_, handle); old != nullptr) DeleteObject(old);
  }

 private:
  Handle h_ = nullptr;
};

using ScopedFont = ScopedGdiObject<HFONT>;
using ScopedBitmap = ScopedGdiObject<HBITMAP>;

}  // namespace tolvane::win
