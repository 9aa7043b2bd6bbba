// A BSTR that frees itself when it goes.
#pragma once

#include <oleauto.h>

#include <new>
#include <string_view>
#include <utility>

namespace tolvane::win {

class ScopedBstr {
 public:
  ScopedBstr() = default;
  // A copy of `text`; throws std::bad_alloc when the system has no memory for it.
  explicit ScopedBstr(std::wstring_view text) : s_(SysAllocStringLen(text.data(), static_cast<UINT>(text.size()))) {
    if (s_ == nullptr) throw std::bad_alloc();
  }
  ~ScopedBstr() { SysFreeString(s_); }
  ScopedBstr(const ScopedBstr&) = delete;
  ScopedBstr& operator=(const ScopedBstr&) = delete;

  BSTR get() const noexcept { return s_; }
  std::size_t length() const noexcept { return SysStringLen(s_); }
  // For out parameters: frees the string held first.
  BSTR* receive() noexcept {
    SysFreeString(std::exchange(s_, nullptr));
    return &s_;
  }
  // Hands the string to a caller that now owns it.
  BSTR release() noexcept { return std::exchange(s_, nullptr); }

 private:
  BSTR s_ = nullptr;
};

}  // namespace tolvane::win
