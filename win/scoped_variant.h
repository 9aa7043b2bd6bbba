// A VARIANT that clears itself (releasing the string, object or array it holds) when it goes.
#pragma once

#include <oleauto.h>

#include <utility>

namespace tolvane::win {

class ScopedVariant {
 public:
  ScopedVariant() noexcept { VariantInit(&v_); }
  ~ScopedVariant() { VariantClear(&v_); }
  ScopedVariant(const ScopedVariant&) = delete;
  ScopedVariant& operator=(const ScopedVariant&) = delete;

  const VARIANT& get() const noexcept { return v_; }
  VARIANT* ptr() noexcept { return &v_; }
  // For out parameters: cleared first, so nothing the variant held is leaked.
  VARIANT* receive() noexcept {
    reset();
    return &v_;
  }
  void reset() noexcept {
    VariantClear(&v_);
    VariantInit(&v_);
  }
  // Hands what it holds to a caller that now owns it.
  VARIANT release() noexcept {
    VARIANT out = v_;
    VariantInit(&v_);
    return out;
  }

 private:
  VARIANT v_;
};

}  // namespace tolvane::win
