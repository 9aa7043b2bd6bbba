// The host form object model: the only way the control reaches its form, the form's controls, the
// screen and its own container. Members are named by the host's own names ("Left", "ScaleWidth",
// "Controls", ...), exactly as a late-bound caller names them, so that a binding to a real platform
// is a thin translation. Every operation either succeeds or fails with a HostError; none fails
// silently, and a failed operation changes nothing on the host.
//
// Each operation comes in two forms: one that throws the HostError, for the steps whose failure goes
// back to the caller, and one (`tryGet`, `tryPut`, ...) that returns it, for the guarded statements
// of a layout pass, where a failing store is an everyday event (a control without a `Font`) and a
// C++ exception for each would cost more than the whole statement.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <variant>

#include "hostmodel/error.h"
#include "hostmodel/value.h"

namespace tolvane::host {

class Form;
using FormRef = std::shared_ptr<Form>;

// A HostError held as a value.
struct Fault {
  Failure failure = Failure::Platform;
  std::string message;
  std::int32_t code = 0;

  static Fault of(const HostError& error) { return {error.failure(), error.what(), error.code()}; }
  [[noreturn]] void raise() const { throw HostError(failure, message, code); }
};

// What a non-throwing operation gives back: its result, or the failure that stopped it.
template <class T>
class Outcome {
 public:
  Outcome(T value) : state_(std::in_place_index<0>, std::move(value)) {}  // NOLINT: implicit by design
  Outcome(Fault fault) : state_(std::in_place_index<1>, std::move(fault)) {}  // NOLINT

  bool ok() const { return state_.index() == 0; }
  T& value() { return std::get<0>(state_); }
  const Fault& fault() const { return std::get<1>(state_); }

  // The result, or the failure thrown.
  T take() && {
    if (!ok()) fault().raise();
    return std::move(value());
  }

 private:
  std::variant<T, Fault> state_;
};

// The result of an operation that returns nothing.
struct Done {};
using Status = Outcome<Done>;

class Object {
 public:
  virtual ~Object() = default;

  virtual Value get(std::string_view member) = 0;
  virtual void put(std::string_view member, const Value& value) = 0;
  virtual void call(std::string_view method, std::span<const Value> args) = 0;

  // The default member of a collection, by index (`Controls(i)`).
  virtual Value item(const Value& index);

  // The same operations, returning their failure instead of throwing it. These defaults catch what
  // the throwing forms throw; an object on which failures are frequent overrides them to fail
  // without an exception. Either form makes the same host operation, exactly once.
  virtual Outcome<Value> tryGet(std::string_view member);
  virtual Status tryPut(std::string_view member, const Value& value);
  virtual Status tryCall(std::string_view method, std::span<const Value> args);
  virtual Outcome<Value> tryItem(const Value& index);

  // The conversion of an object to a form: a TypeMismatch unless the object is one.
  virtual FormRef asForm();

  // `get(member)` taken as an object.
  ObjectRef object(std::string_view member);
};

// The handlers a form's events run.
class FormEvents {
 public:
  virtual void ParentForm_Load() = 0;
  virtual void ParentForm_Resize() = 0;

 protected:
  ~FormEvents() = default;
};

// A subscription to a form's events; dropping it unsubscribes.
class Subscription {
 public:
  Subscription() = default;
  explicit Subscription(std::function<void()> cancel) : cancel_(std::move(cancel)) {}
  Subscription(Subscription&& other) noexcept : cancel_(std::exchange(other.cancel_, nullptr)) {}
  Subscription& operator=(Subscription&& other) noexcept {
    if (this != &other) {
      reset();
      cancel_ = std::exchange(other.cancel_, nullptr);
    }
    return *this;
  }
  Subscription(const Subscription&) = delete;
  Subscription& operator=(const Subscription&) = delete;
  ~Subscription() { reset(); }

  void reset() noexcept {
    if (auto cancel = std::exchange(cancel_, nullptr)) cancel();
  }

 private:
  std::function<void()> cancel_;
};

class Form : public Object {
 public:
  // Delivers the form's Load and Resize to `sink` until the subscription is dropped.
  virtual Subscription advise(FormEvents& sink) = 0;

  // A control of the form, by name (`ParentForm.lblHorDrag`).
  ObjectRef control(std::string_view name) { return object(name); }
};

// What the control's container gives it: the ambient properties, its extender (the control as the
// form sees it: `Parent`, `Width`, `Height`, ...) and the screen.
class Site {
 public:
  virtual Value ambient(std::string_view name) = 0;
  virtual ObjectRef extender() = 0;
  virtual ObjectRef screen() = 0;

 protected:
  ~Site() = default;
};

}  // namespace tolvane::host
