#include "win/host_failure.h"

#include <oleauto.h>

#include <cstdio>
#include <string>

#include "win/text.h"

namespace tolvane::win {

using host::Failure;

namespace {

constexpr HRESULT runtimeError(unsigned number) { return static_cast<HRESULT>(0x800A0000u | number); }

}  // namespace

Failure failureKind(HRESULT hr) noexcept {
  switch (hr) {
    case DISP_E_MEMBERNOTFOUND:
    case DISP_E_UNKNOWNNAME:
    case runtimeError(438):  // object doesn't support this property or method
      return Failure::MissingMember;
    case DISP_E_TYPEMISMATCH:
    case runtimeError(13):  // type mismatch
      return Failure::TypeMismatch;
    case DISP_E_OVERFLOW:
    case runtimeError(6):  // overflow
      return Failure::Overflow;
    case DISP_E_DIVBYZERO:
    case runtimeError(11):  // division by zero
      return Failure::DivisionByZero;
    case runtimeError(380):  // invalid property value
      return Failure::ValueRefused;
    case DISP_E_BADINDEX:
    case runtimeError(9):  // subscript out of range
      return Failure::SubscriptOutOfRange;
    case runtimeError(91):  // object variable not set
      return Failure::NotAttached;
    case E_OUTOFMEMORY:
      return Failure::OutOfMemory;
    default:
      return Failure::Platform;
  }
}

namespace {

std::string hex(HRESULT hr) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%08lX", static_cast<unsigned long>(hr));
  return text;
}

}  // namespace

host::HostError failureOf(HRESULT hr, const EXCEPINFO* exception, std::string_view what) {
  std::string text;
  if (hr == DISP_E_EXCEPTION && exception != nullptr) {
    if (exception->scode != 0) {
      hr = exception->scode;
    } else if (exception->wCode != 0) {
      hr = runtimeError(exception->wCode);
    }
    if (exception->bstrDescription != nullptr) {
      text = narrow(exception->bstrDescription, SysStringLen(exception->bstrDescription));
    }
  }
  if (text.empty()) text = std::string(what) + ": error " + hex(hr);
  return host::HostError(failureKind(hr), text, static_cast<std::int32_t>(hr));
}

namespace {

HRESULT hresultOf(Failure failure, std::int32_t code) noexcept {
  if (code != 0 && FAILED(static_cast<HRESULT>(code))) return static_cast<HRESULT>(code);
  switch (failure) {
    case Failure::MissingControl: return runtimeError(438);
    case Failure::MissingMember: return runtimeError(438);
    case Failure::TypeMismatch: return runtimeError(13);
    case Failure::Overflow: return runtimeError(6);
    case Failure::DivisionByZero: return runtimeError(11);
    case Failure::ValueRefused: return runtimeError(380);
    case Failure::NotAttached: return runtimeError(91);
    case Failure::SubscriptOutOfRange: return runtimeError(9);
    case Failure::ArrayLocked: return runtimeError(10);
    case Failure::NoValue: return runtimeError(91);
    case Failure::OutOfMemory: return E_OUTOFMEMORY;
    case Failure::Platform: return E_FAIL;
  }
  return E_FAIL;
}

}  // namespace

HRESULT hresultOf(const host::HostError& error) noexcept { return hresultOf(error.failure(), error.code()); }

HRESULT hresultOf(const host::Fault& fault) noexcept { return hresultOf(fault.failure, fault.code); }

}  // namespace tolvane::win
