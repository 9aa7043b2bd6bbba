// Conversions between host-model values and VARIANTs; a value that has no VARIANT form, or a
// VARIANT that is no value the host model knows, is a TypeMismatch.
#pragma once

#include <oaidl.h>

#include "hostmodel/dispatch/container_link.h"
#include "hostmodel/value.h"

namespace tolvane::host::dispatch {

// An object in the VARIANT shares `link` (see DispatchObject).
Value fromVariant(const VARIANT& variant, const ContainerLinkRef& link = {});
// `out` must be initialised; what it held is cleared first.
void toVariant(const Value& value, VARIANT* out);

}  // namespace tolvane::host::dispatch
