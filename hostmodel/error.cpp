#include "hostmodel/error.h"

namespace tolvane::host {

std::string_view failureName(Failure failure) {
  switch (failure) {
    case Failure::MissingControl: return "missing control";
    case Failure::MissingMember: return "missing member";
    case Failure::TypeMismatch: return "type mismatch";
    case Failure::Overflow: return "overflow";
    case Failure::DivisionByZero: return "division by zero";
    case Failure::ValueRefused: return "value refused";
    case Failure::NotAttached: return "not attached";
    case Failure::SubscriptOutOfRange: return "subscript out of range";
    case Failure::ArrayLocked: return "array locked";
    case Failure::NoValue: return "no value";
    case Failure::OutOfMemory: return "out of memory";
    case Failure::Platform: return "platform error";
  }
  return "failure";
}

HostError::HostError(Failure failure, const std::string& message, std::int32_t code)
    : std::runtime_error(message), failure_(failure), code_(code) {}

}  // namespace tolvane::host
