// A host-model object served through IDispatch::Invoke: what an Invoke asks of it, by `flags`.
#pragma once

#include <oaidl.h>

#include <string>

#include "hostmodel/host.h"

namespace tolvane::host::dispatch {

// The most arguments a member of a host-model object takes (`Move Left, Top, Width, Height`).
inline constexpr unsigned kMaxInvokeArguments = 4;

// Its default member with the index (`name` null), a store, a read or a call. The arguments are
// taken as COM passes them, last first. S_OK with the value read (empty after a store or a call),
// or DISP_E_BADPARAMCOUNT (also for more than kMaxInvokeArguments) / DISP_E_MEMBERNOTFOUND; a host
// failure is thrown to the caller.
HRESULT invokeOn(Object& object, const std::string* name, WORD flags, const DISPPARAMS& params, Value& value);

}  // namespace tolvane::host::dispatch
