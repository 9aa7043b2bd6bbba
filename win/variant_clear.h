// Emptying and clearing a VARIANT without a call into the automation library where nothing is
// owned. Most VARIANTs of a layout pass hold a number: for those, VariantInit and VariantClear come
// down to setting the type to VT_EMPTY, but each is a call into oleaut32 (under Wine, a call into a
// DLL of its own). A value that may own something (a string, an object, an array, a record) is
// still cleared by VariantClear itself.
#pragma once

#include <oleauto.h>

namespace tolvane::win {

// What VariantInit does: the type alone becomes VT_EMPTY.
inline void emptyVariant(VARIANT* v) noexcept { V_VT(v) = VT_EMPTY; }

// Whether clearing `type` has anything to release. A reference (VT_BYREF) owns nothing.
constexpr bool ownsNothing(VARTYPE type) noexcept {
  if ((type & VT_BYREF) != 0) return true;
  switch (type) {
    case VT_EMPTY: case VT_NULL:
    case VT_I1: case VT_I2: case VT_I4: case VT_I8: case VT_INT:
    case VT_UI1: case VT_UI2: case VT_UI4: case VT_UI8: case VT_UINT:
    case VT_R4: case VT_R8: case VT_CY: case VT_DATE: case VT_BOOL: case VT_ERROR: case VT_DECIMAL:
      return true;
    default:
      return false;
  }
}

// What VariantClear does: releases what the value owns and leaves it VT_EMPTY.
inline void clearVariant(VARIANT* v) noexcept {
  if (ownsNothing(V_VT(v))) {
    emptyVariant(v);
  } else {
    VariantClear(v);
  }
}

}  // namespace tolvane::win
