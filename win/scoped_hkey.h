// A registry key closed when it goes.
#pragma once

#include <windows.h>

#include <utility>

namespace tolvane::win {

class ScopedHKey {
 public:
  ScopedHKey() = default;
  ~ScopedHKey() { reset(); }
  ScopedHKey(const ScopedHKey&) = delete;
  ScopedHKey& operator=(const ScopedHKey&) = delete;

  HKEY get() const noexcept { return key_; }
  explicit operator bool() const noexcept { return key_ != nullptr; }
  // For out parameters: closes the key held first.
  HKEY* receive() noexcept {
    reset();
    return &key_;
  }
  void reset() noexcept {
    if (HKEY old = std::exchange(key_, nullptr); old != nullptr) RegCloseKey(old);
  }

 private:
  HKEY key_ = nullptr;
};

}  // namespace tolvane::win
