// A VARIANT that clears itself (releasing the string, object or array it holds) when it goes.
#pragma once

#include <oleauto.h>

#include <utility>

#include "win/variant_clear.h"

namespace tolvane::win {

class ScopedVariant {
 public:
  ScopedVariant() noexcept { emptyVariant(&v_); }
  ~ScopedVariant() { clearVariant(&v_); }
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
    clearVariant(&v_);
  }
  // Hands what it holds to a caller that now owns it.
  VARIANT release() noexcept {
    VARIANT out = v_;
    emptyVariant(&v_);
    return out;
  }

 private:
  VARIANT v_;
};

}  // namespace tolvane::win
