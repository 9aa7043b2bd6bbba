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
// or DISP_E_BADPARAMCOUNT (also for more than kMaxInvokeArguments) / DISP_E_MEMBERNOTFOUND. A host
// failure the object reports goes back as Invoke reports it, in `exception` from `source`, through
// the object's non-throwing forms: a member that fails on every layout pass (a control without a
// `Font`) costs no C++ exception on this side either.
HRESULT invokeOn(Object& object, const std::string* name, WORD flags, const DISPPARAMS& params, Value& value,
                 const wchar_t* source, EXCEPINFO* exception);

}  // namespace tolvane::host::dispatch
