// The one guard at the COM boundary. No C++ exception may cross into the caller: a host failure
// becomes its HRESULT with the error text for EXCEPINFO (through IErrorInfo), a failed allocation
// becomes E_OUTOFMEMORY, anything else E_UNEXPECTED.
#pragma once

#include <windows.h>

#include <new>
#include <string>

#include "hostmodel/error.h"

namespace tolvane::com {

// The HRESULT that reports a host failure to a COM caller: the platform's own code where the
// failure came from the platform, otherwise the run-time error an automation client knows.
HRESULT hresultOf(const host::HostError& error) noexcept;

// Sets the thread's error information (source, description, interface) and returns `hr`.
HRESULT reportError(REFIID iid, HRESULT hr, const std::string& text) noexcept;

template <class Body>
HRESULT atBoundary(REFIID iid, Body&& body) noexcept {
  try {
    return body();
  } catch (const host::HostError& error) {
    if (error.failure() == host::Failure::OutOfMemory) return E_OUTOFMEMORY;
    return reportError(iid, hresultOf(error), error.what());
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  } catch (...) {
    return reportError(iid, E_UNEXPECTED, "unexpected internal failure");
  }
}

}  // namespace tolvane::com
