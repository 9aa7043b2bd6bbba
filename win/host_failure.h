// Host failures and HRESULTs, both ways: what a failed late-bound call means to the host model,
// and what a host failure means to a COM caller.
#pragma once

#include <oaidl.h>

#include <string_view>

#include "hostmodel/host.h"

namespace tolvane::win {

// What kind of host failure an HRESULT reports.
host::Failure failureKind(HRESULT hr) noexcept;

// The failure of a call: the HRESULT (the exception's own when the object raised one) and its text.
host::HostError failureOf(HRESULT hr, const EXCEPINFO* exception, std::string_view what);

// The HRESULT that reports a host failure to a COM caller: the platform's own code where the
// failure came from the platform, otherwise the run-time error an automation client knows.
HRESULT hresultOf(const host::HostError& error) noexcept;
HRESULT hresultOf(const host::Fault& fault) noexcept;

}  // namespace tolvane::win
