// Conversions between host-model values and VARIANTs; a value that has no VARIANT form, or a
// VARIANT that is no value the host model knows, is a TypeMismatch.
#pragma once

#include <oaidl.h>

#include "hostmodel/value.h"

namespace tolvane::host::dispatch {

Value fromVariant(const VARIANT& variant);
// `out` must be initialised; what it held is cleared first.
void toVariant(const Value& value, VARIANT* out);

}  // namespace tolvane::host::dispatch
