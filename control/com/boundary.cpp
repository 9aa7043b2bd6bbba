#include "control/com/boundary.h"

#include <oleauto.h>

#include "hostmodel/dispatch/dispatch_object.h"

namespace tolvane::com {

namespace {

// The run-time error numbers of the automation language, as HRESULTs of the control facility.
constexpr HRESULT runtimeError(unsigned number) { return static_cast<HRESULT>(0x800A0000u | number); }

}  // namespace

HRESULT hresultOf(const host::HostError& error) noexcept {
  if (error.code() != 0 && FAILED(static_cast<HRESULT>(error.code()))) return static_cast<HRESULT>(error.code());
  switch (error.failure()) {
    case host::Failure::MissingControl: return runtimeError(438);  // object doesn't support this property or method
    case host::Failure::MissingMember: return runtimeError(438);
    case host::Failure::TypeMismatch: return runtimeError(13);
    case host::Failure::Overflow: return runtimeError(6);
    case host::Failure::DivisionByZero: return runtimeError(11);
    case host::Failure::ValueRefused: return runtimeError(380);  // invalid property value
    case host::Failure::NotAttached: return runtimeError(91);    // object variable not set
    case host::Failure::SubscriptOutOfRange: return runtimeError(9);
    case host::Failure::ArrayLocked: return runtimeError(10);
    case host::Failure::NoValue: return runtimeError(91);
    case host::Failure::OutOfMemory: return E_OUTOFMEMORY;
    case host::Failure::Platform: return E_FAIL;
  }
  return E_FAIL;
}

HRESULT reportError(REFIID iid, HRESULT hr, const std::string& text) noexcept {
  try {
    ICreateErrorInfo* create = nullptr;
    if (FAILED(CreateErrorInfo(&create))) return hr;
    create->SetGUID(iid);
    create->SetSource(const_cast<LPOLESTR>(L"Brenmoor.Tolvane"));
    std::wstring description = host::dispatch::widen(text);
    create->SetDescription(description.data());
    IErrorInfo* info = nullptr;
    if (SUCCEEDED(create->QueryInterface(IID_IErrorInfo, reinterpret_cast<void**>(&info)))) {
      SetErrorInfo(0, info);
      info->Release();
    }
    create->Release();
  } catch (...) {
    // The HRESULT alone still reports the failure.
  }
  return hr;
}

}  // namespace tolvane::com
