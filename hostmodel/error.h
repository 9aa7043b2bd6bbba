// The one failure a host operation can raise. Everything the layout code absorbs statement by
// statement is a HostError; nothing else is caught as one.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>

namespace tolvane::host {

enum class Failure {
  MissingControl,       // the form has no control of that name
  MissingMember,        // the object has no member of that name
  TypeMismatch,         // a value of the wrong type, or an object that is not a form
  Overflow,             // a number out of range for its type, or not a finite number
  DivisionByZero,
  ValueRefused,         // the host would not take the value (also injected failures)
  NotAttached,          // the control has no parent form
  SubscriptOutOfRange,  // a record index outside the snapshot
  ArrayLocked,          // the snapshot is in use and cannot be reallocated
  NoValue,              // a working value that could not be formed is needed
  OutOfMemory,
  Platform,             // any other failure the platform reports, with its code
};

std::string_view failureName(Failure failure);

// The platform's "out of stack space" (run-time error 28, as it reports it to a caller).
inline constexpr std::int32_t kOutOfStackSpace = static_cast<std::int32_t>(0x800A001Cu);

class HostError : public std::runtime_error {
 public:
  // `code` is the platform's own error code (an HRESULT on Windows), 0 where there is none.
  HostError(Failure failure, const std::string& message, std::int32_t code = 0);

  Failure failure() const noexcept { return failure_; }
  std::int32_t code() const noexcept { return code_; }

 private:
  Failure failure_;
  std::int32_t code_;
};

}  // namespace tolvane::host
