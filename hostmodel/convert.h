// Every number conversion the control makes. Integers round to nearest with halves to even; a value
// out of range for its type is an Overflow failure; no non-finite number is ever produced, so none
// can reach the host.
#pragma once

#include <cstdint>
#include <string>

#include "hostmodel/error.h"
#include "hostmodel/value.h"

namespace tolvane::host::convert {

// A value read from the host, as a number: numbers as they are, True as -1 and False as 0, text that
// spells a number. Anything else is a TypeMismatch; a non-finite number is an Overflow.
double toNumber(const Value& value);

// a / b, a DivisionByZero failure when b is 0.
double quotient(double a, double b);

// Narrowing, each a failure when the result cannot be represented.
double finite(double x);
float toSingle(double x);
std::int16_t toI16(double x);
std::int32_t toI32(double x);

// A value read from the host, narrowed to a single as the layout records and compares it.
inline float readSingle(const Value& value) { return toSingle(toNumber(value)); }

// Comparisons with the platform's Booleans, where True is -1: `value = True` and `value = False`.
bool equalsTrue(const Value& value);
bool equalsFalse(const Value& value);

std::string toText(const Value& value);
ObjectRef toObject(const Value& value);

// x, when it is finite and within a single's range (it narrows to a finite single); else an Overflow.
double withinSingle(double x);

// A value read from the host, to be handed on exactly as read to a position or size: an Overflow if
// it is a number that is not finite or beyond a single's range, so that a host that reports one never
// gets it back.
Value finiteAsRead(Value value);

// Typed values for stores, checked before they leave. Doubles are passed only to positions and sizes,
// which the host keeps as singles: a double beyond a single's range is an Overflow here rather than
// an infinity in a host that narrows it.
inline Value single(double x) { return Value{toSingle(x)}; }
inline Value asDouble(double x) { return Value{withinSingle(x)}; }
inline Value i16(double x) { return Value{toI16(x)}; }
inline Value i32(double x) { return Value{toI32(x)}; }

}  // namespace tolvane::host::convert
