// Values exchanged with the host. The alternative a Value holds is its type, and the type of every
// store is part of the control's contract (a Single is not a Double, a 16-bit integer is not a
// 32-bit one), so values keep it all the way to the host.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <variant>

namespace tolvane::host {

class Object;
using ObjectRef = std::shared_ptr<Object>;

using Value = std::variant<std::monostate, bool, std::int16_t, std::int32_t, float, double, std::string, ObjectRef>;

enum class ValueType { Empty, Bool, I16, I32, F32, F64, Str, Object };

ValueType typeOf(const Value& value);

// "bool", "i16", "i32", "f32", "f64", "str", "object", "empty": the names the trace uses.
std::string_view typeName(ValueType type);

// A number as the shortest text that reads back as the same number of its type (`850`, `1234.5`).
std::string shortest(double x);
std::string shortest(float x);

}  // namespace tolvane::host
