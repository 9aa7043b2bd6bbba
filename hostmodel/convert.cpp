#include "hostmodel/convert.h"

#include <cmath>
#include <cstdlib>
#include <string>

#include "hostmodel/error.h"

namespace tolvane::host::convert {
namespace {

[[noreturn]] void overflow(double x) {
  throw HostError(Failure::Overflow, "overflow: " + std::to_string(x));
}

[[noreturn]] void mismatch(const char* what) {
  throw HostError(Failure::TypeMismatch, std::string("type mismatch: ") + what);
}

std::string_view trimmed(std::string_view text) {
  const auto first = text.find_first_not_of(" \t");
  if (first == std::string_view::npos) return {};
  const auto last = text.find_last_not_of(" \t");
  return text.substr(first, last - first + 1);
}

double parseNumber(const std::string& text) {
  const std::string body(trimmed(text));
  if (body.empty()) mismatch("empty text is not a number");
  char* end = nullptr;
  const double x = std::strtod(body.c_str(), &end);
  if (end != body.c_str() + body.size()) mismatch("text is not a number");
  return x;
}

// Round to nearest, halves to even, whatever rounding mode the process was left in.
double roundHalfEven(double x) {
  const double floor = std::floor(x);
  const double diff = x - floor;
  if (diff < 0.5) return floor;
  if (diff > 0.5) return floor + 1.0;
  return std::fmod(floor, 2.0) == 0.0 ? floor : floor + 1.0;
}

template <class Int>
Int toInteger(double x, double low, double high) {
  if (!std::isfinite(x)) overflow(x);
  const double r = roundHalfEven(x);
  if (r < low || r > high) overflow(x);
  return static_cast<Int>(r);
}

}  // namespace

double toNumber(const Value& value) {
  switch (typeOf(value)) {
    case ValueType::Bool: return std::get<bool>(value) ? -1.0 : 0.0;
    case ValueType::I16: return std::get<std::int16_t>(value);
    case ValueType::I32: return std::get<std::int32_t>(value);
    case ValueType::F32: return finite(std::get<float>(value));
    case ValueType::F64: return finite(std::get<double>(value));
    case ValueType::Str: return finite(parseNumber(std::get<std::string>(value)));
    case ValueType::Empty: mismatch("no value");
    case ValueType::Object: mismatch("an object is not a number");
  }
  mismatch("unknown value");
}

Value finiteAsRead(Value value) {
  if (const auto* f = std::get_if<float>(&value)) finite(*f);
  if (const auto* d = std::get_if<double>(&value)) withinSingle(*d);
  return value;
}

double quotient(double a, double b) {
  if (b == 0.0) throw HostError(Failure::DivisionByZero, "division by zero");
  return finite(a / b);
}

double finite(double x) {
  if (!std::isfinite(x)) overflow(x);
  return x;
}

float toSingle(double x) {
  // Doubles at or beyond the midpoint above the largest single round to infinity. Below it, a host
  // that left the processor rounding upward (or downward, for negatives) still gets infinity from
  // the narrowing, so the narrowed value itself is what is checked as well.
  constexpr double kLimit = 0x1.ffffffp127;
  if (!std::isfinite(x) || std::fabs(x) >= kLimit) overflow(x);
  const float narrowed = static_cast<float>(x);
  if (!std::isfinite(narrowed)) overflow(x);
  return narrowed;
}

double withinSingle(double x) {
  toSingle(x);
  return x;
}

std::int16_t toI16(double x) { return toInteger<std::int16_t>(x, -32768.0, 32767.0); }

std::int32_t toI32(double x) { return toInteger<std::int32_t>(x, -2147483648.0, 2147483647.0); }

bool equalsTrue(const Value& value) {
  if (const auto* b = std::get_if<bool>(&value)) return *b;
  if (const auto* s = std::get_if<std::string>(&value)) {
    if (*s == "True") return true;
    if (*s == "False") return false;
  }
  return toNumber(value) == -1.0;
}

bool equalsFalse(const Value& value) {
  if (const auto* b = std::get_if<bool>(&value)) return !*b;
  if (const auto* s = std::get_if<std::string>(&value)) {
    if (*s == "True") return false;
    if (*s == "False") return true;
  }
  return toNumber(value) == 0.0;
}

std::string toText(const Value& value) {
  switch (typeOf(value)) {
    case ValueType::Str: return std::get<std::string>(value);
    case ValueType::Bool: return std::get<bool>(value) ? "True" : "False";
    case ValueType::I16: return std::to_string(std::get<std::int16_t>(value));
    case ValueType::I32: return std::to_string(std::get<std::int32_t>(value));
    case ValueType::F32: return shortest(std::get<float>(value));
    case ValueType::F64: return shortest(std::get<double>(value));
    case ValueType::Empty: return {};
    case ValueType::Object: mismatch("an object is not text");
  }
  mismatch("unknown value");
}

ObjectRef toObject(const Value& value) {
  const auto* object = std::get_if<ObjectRef>(&value);
  if (object == nullptr || *object == nullptr) mismatch("not an object");
  return *object;
}

}  // namespace tolvane::host::convert
