// The one guard at the COM boundary. No C++ exception may cross into the caller: a host failure
// becomes its HRESULT with the error text for EXCEPINFO (through IErrorInfo), a failed allocation
// becomes E_OUTOFMEMORY, anything else E_UNEXPECTED.
#pragma once

#include <windows.h>

#include <new>
#include <string>

#include "hostmodel/dispatch/dispatch_object.h"
#include "hostmodel/error.h"

namespace tolvane::com {

using host::dispatch::hresultOf;

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
