#include "hostmodel/value.h"

#include <charconv>

namespace tolvane::host {

ValueType typeOf(const Value& value) {
  return static_cast<ValueType>(value.index());
}

std::string_view typeName(ValueType type) {
  switch (type) {
    case ValueType::Empty: return "empty";
    case ValueType::Bool: return "bool";
    case ValueType::I16: return "i16";
    case ValueType::I32: return "i32";
    case ValueType::F32: return "f32";
    case ValueType::F64: return "f64";
    case ValueType::Str: return "str";
    case ValueType::Object: return "object";
  }
  return "?";
}

namespace {

template <class Number>
std::string shortestOf(Number x) {
  char buffer[64];
  const auto result = std::to_chars(buffer, buffer + sizeof buffer, x);
  return std::string(buffer, result.ptr);
}

}  // namespace

std::string shortest(double x) { return shortestOf(x); }
std::string shortest(float x) { return shortestOf(x); }

}  // namespace tolvane::host
