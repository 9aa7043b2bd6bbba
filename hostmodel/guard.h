// The layout procedures absorb host failures one statement at a time. `guarded` and `guardedTest`
// are the whole of that policy, so that a procedure reads as its statements in order.
//
// A statement is written against a `Statement`, which makes its host operations and conversions
// through the non-throwing forms: the first failure marks the statement failed, and from then on
// every operation of it is skipped and every assignment (`let`) is left undone, as if the
// statement had stopped there. A failed store, which a pass meets on every run (a control without a
// font), so costs no C++ exception. Host operations still happen in the order the statement names
// them: in `a.put(m, b)`, `a` is evaluated before `b`.
#pragma once

#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>

#include "hostmodel/convert.h"
#include "hostmodel/error.h"
#include "hostmodel/host.h"

namespace tolvane::host {

class Statement;

// An object for the length of one statement, or nothing once the statement has failed: held by a
// counted reference, or used in place where something else keeps it for that long.
class Held {
 public:
  Held(Statement& statement, ObjectRef object)
      : statement_(statement), object_(object.get()), owned_(std::move(object)) {}
  Held(Statement& statement, Object* inPlace) : statement_(statement), object_(inPlace) {}

  Value get(std::string_view member);
  Held object(std::string_view member);
  // A control of a form, by name (`ParentForm.lblHorDrag`): looked up at every use.
  Held control(std::string_view name) { return object(name); }
  void put(std::string_view member, const Value& value);
  void call(std::string_view method, std::span<const Value> args);
  // The default member of a collection, by index (`Controls(i)`).
  Value item(const Value& index);

 private:
  Statement& statement_;
  Object* object_;
  ObjectRef owned_;
};

class Statement {
 public:
  bool failed() const { return failed_; }
  void fail() { failed_ = true; }

  // Holds `object` by a counted reference for the statement; a NoValue failure when it is not set.
  Held hold(ObjectRef object) {
    if (!failed_ && object == nullptr) fail();
    return {*this, failed_ ? nullptr : std::move(object)};
  }

  // `object`, used in place: for an object that its owner keeps alive for the whole statement even if
  // host code replaces it meanwhile (a snapshot record's control while the record is locked).
  Held inPlace(const ObjectRef& object) {
    if (!failed_ && object == nullptr) fail();
    return {*this, failed_ ? nullptr : object.get()};
  }

  // `target = value`, unless the statement has failed.
  template <class Target, class Source>
  void let(Target& target, Source&& value) {
    if (!failed_) target = std::forward<Source>(value);
  }

  // The conversions of hostmodel/convert.h, each failing the statement instead of throwing; a failed
  // statement's conversions give a zero value and are not made.
  double toNumber(const Value& v) { return attempt([&] { return convert::toNumber(v); }); }
  float readSingle(const Value& v) { return attempt([&] { return convert::readSingle(v); }); }
  std::string toText(const Value& v) { return attempt([&] { return convert::toText(v); }); }
  // A text read for one comparison is taken, not copied.
  std::string toText(Value&& v) {
    if (auto* text = std::get_if<std::string>(&v); text != nullptr && !failed_) return std::move(*text);
    return toText(std::as_const(v));
  }
  bool equalsTrue(const Value& v) { return attempt([&] { return convert::equalsTrue(v); }); }
  Value finiteAsRead(const Value& v) { return attempt([&] { return convert::finiteAsRead(v); }); }
  ObjectRef toObject(const Value& v) { return attempt([&] { return convert::toObject(v); }); }
  double quotient(double a, double b) { return attempt([&] { return convert::quotient(a, b); }); }
  float toSingle(double x) { return attempt([&] { return convert::toSingle(x); }); }
  std::int16_t toI16(double x) { return attempt([&] { return convert::toI16(x); }); }
  std::int32_t toI32(double x) { return attempt([&] { return convert::toI32(x); }); }
  Value single(double x) { return attempt([&] { return convert::single(x); }); }
  Value asDouble(double x) { return attempt([&] { return convert::asDouble(x); }); }

  // The value of a host operation's outcome, or a zero value and the statement failed.
  template <class T>
  T valueOf(Outcome<T>&& outcome) {
    if (outcome.ok()) return std::move(outcome.value());
    fail();
    return T{};
  }

 private:
  // A conversion fails only on values out of range (an overflow, a text that is no number), which a
  // pass does not meet from one run to the next, so the throwing conversion is caught here rather
  // than written twice.
  template <class Conversion>
  auto attempt(Conversion&& conversion) -> decltype(conversion()) {
    if (failed_) return {};
    try {
      return conversion();
    } catch (const HostError&) {
      fail();
      return {};
    }
  }

  bool failed_ = false;
};

inline Value Held::get(std::string_view member) {
  if (statement_.failed()) return {};
  return statement_.valueOf(object_->tryGet(member));
}

inline Held Held::object(std::string_view member) {
  Value value = get(member);
  auto* object = std::get_if<ObjectRef>(&value);
  if (object == nullptr || *object == nullptr) {
    statement_.fail();  // no object: a TypeMismatch
    return {statement_, nullptr};
  }
  return {statement_, std::move(*object)};
}

inline Value Held::item(const Value& index) {
  if (statement_.failed()) return {};
  return statement_.valueOf(object_->tryItem(index));
}

inline void Held::put(std::string_view member, const Value& value) {
  if (!statement_.failed()) statement_.valueOf(object_->tryPut(member, value));
}

inline void Held::call(std::string_view method, std::span<const Value> args) {
  if (!statement_.failed()) statement_.valueOf(object_->tryCall(method, args));
}

// Runs one statement; a host failure abandons that statement only.
template <class Body>
void guarded(Body&& body) {
  Statement statement;
  try {
    body(statement);
  } catch (const HostError&) {
    // A failure outside the statement's own operations (the parent form not attached, a snapshot
    // record out of range) ends it the same way.
  }
}

// Evaluates one test; a test whose evaluation fails counts as met, so what it guards runs.
template <class Test>
bool guardedTest(Test&& test) {
  Statement statement;
  try {
    const bool met = test(statement);
    return statement.failed() || met;
  } catch (const HostError&) {
    return true;
  }
}

}  // namespace tolvane::host
