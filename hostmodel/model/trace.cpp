#include "hostmodel/model/trace.h"


namespace tolvane::model {

using host::shortest;

namespace {

std::string quoted(const std::string& text) {
  std::string out = "\"";
  for (const char c : text) {
    if (c == '"' || c == '\\') out += '\\';
    out += c;
  }
  return out + "\"";
}

std::string bare(const host::Value& value) {
  using host::ValueType;
  switch (host::typeOf(value)) {
    case ValueType::Empty: return "";
    case ValueType::Bool: return std::get<bool>(value) ? "true" : "false";
    case ValueType::I16: return std::to_string(std::get<std::int16_t>(value));
    case ValueType::I32: return std::to_string(std::get<std::int32_t>(value));
    case ValueType::F32: return shortest(std::get<float>(value));
    case ValueType::F64: return shortest(std::get<double>(value));
    case ValueType::Str: return quoted(std::get<std::string>(value));
    case ValueType::Object: return "<object>";
  }
  return "?";
}

}  // namespace

std::string formatValue(const host::Value& value) {
  return bare(value) + " " + std::string(host::typeName(host::typeOf(value)));
}

std::string formatWrite(const Write& write) {
  std::string line;
  switch (write.kind) {
    case Write::Kind::EventFailure:
      return "# failed: " + write.object + "." + write.member + ": " + write.error;
    case Write::Kind::Store:
      line = write.object + "." + write.member + " = " + (write.values.empty() ? "" : formatValue(write.values.front()));
      break;
    case Write::Kind::Call: {
      line = write.object + "." + write.member + "(";
      for (std::size_t i = 0; i < write.values.size(); ++i) {
        if (i > 0) line += ", ";
        line += formatValue(write.values[i]);
      }
      line += ")";
      break;
    }
  }
  if (!write.error.empty()) line += " ! " + write.error;
  return line;
}

std::string formatStateHeader() { return "name left top width height font visible"; }

std::string formatStateRow(const StateRow& row) {
  const auto number = [](const std::optional<double>& x) { return x ? shortest(*x) : std::string("-"); };
  return row.name + ' ' + number(row.left) + ' ' + number(row.top) + ' ' + number(row.width) + ' ' +
         number(row.height) + ' ' + number(row.fontSize) + ' ' +
         (row.visible ? (*row.visible ? "true" : "false") : "-");
}

}  // namespace tolvane::model
