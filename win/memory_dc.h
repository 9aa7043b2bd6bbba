// A memory device context (CreateCompatibleDC), deleted when it goes.
#pragma once

#include <windows.h>

namespace tolvane::win {

class MemoryDC {
 public:
  explicit MemoryDC(HDC like) noexcept : dc_(CreateCompatibleDC(like)) {}
  ~MemoryDC() {
    if (dc_ != nullptr) DeleteDC(dc_);
  }
  MemoryDC(const MemoryDC&) = delete;
  MemoryDC& operator=(const MemoryDC&) = delete;
  HDC get() const noexcept { return dc_; }
  explicit operator bool() const noexcept { return dc_ != nullptr; }

 private:
  HDC dc_;
};

}  // namespace tolvane::win
