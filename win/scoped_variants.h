// The VARIANTs of a call's argument array, cleared when they go.
#pragma once

#include <oleauto.h>

#include <cstddef>

#include "win/variant_clear.h"

namespace tolvane::win {

// Clears every VARIANT of an array it did not allocate (a call's arguments) when it goes.
class ScopedVariants {
 public:
  ScopedVariants(VARIANT* first, std::size_t count) noexcept : first_(first), count_(count) {
    for (std::size_t i = 0; i < count_; ++i) emptyVariant(&first_[i]);
  }
  ~ScopedVariants() {
    for (std::size_t i = 0; i < count_; ++i) clearVariant(&first_[i]);
  }
  ScopedVariants(const ScopedVariants&) = delete;
  ScopedVariants& operator=(const ScopedVariants&) = delete;

 private:
  VARIANT* first_;
  std::size_t count_;
};

}  // namespace tolvane::win
