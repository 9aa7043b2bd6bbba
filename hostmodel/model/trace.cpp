#include "hostmodel/model/trace.h"

#include <algorithm>
#include <iterator>
#include <utility>

namespace tolvane::model {

using host::shortest;

namespace {

// The UTF-8 forms of the line breaks outside ASCII: NEL, LINE SEPARATOR, PARAGRAPH SEPARATOR.
constexpr std::pair<std::string_view, std::string_view> kUnicodeBreaks[] = {
    {"\xC2\x85", "\\u0085"}, {"\xE2\x80\xA8", "\\u2028"}, {"\xE2\x80\xA9", "\\u2029"}};

void appendEscaped(std::string& out, std::string_view text, bool quoting) {
  static constexpr char kHex[] = "0123456789abcdef";
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    const auto byte = static_cast<unsigned char>(c);
    if (quoting && (c == '"' || c == '\\')) {
      out += '\\';
      out += c;
    } else if (c == '\n') {
      out += "\\n";
    } else if (c == '\r') {
      out += "\\r";
    } else if (c == '\t') {
      out += "\\t";
    } else if (byte < 0x20 || byte == 0x7F) {
      out += "\\x";
      out += kHex[byte >> 4];
      out += kHex[byte & 0xF];
    } else if (byte < 0x80) {
      out += c;
    } else {
      const auto brk = std::find_if(std::begin(kUnicodeBreaks), std::end(kUnicodeBreaks),
                                    [&](const auto& b) { return text.substr(i).starts_with(b.first); });
      if (brk == std::end(kUnicodeBreaks)) {
        out += c;
      } else {
        out += brk->second;
        i += brk->first.size() - 1;
      }
    }
  }
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
    case ValueType::Str: return quotedText(std::get<std::string>(value));
    case ValueType::Object: return "<object>";
  }
  return "?";
}

}  // namespace

std::string escapedText(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  appendEscaped(out, text, false);
  return out;
}

std::string quotedText(std::string_view text) {
  std::string out = "\"";
  appendEscaped(out, text, true);
  return out + "\"";
}

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
