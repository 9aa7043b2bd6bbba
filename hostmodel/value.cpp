#include "hostmodel/value.h"

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

}  // namespace tolvane::host
