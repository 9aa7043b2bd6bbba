#include "win/text.h"

#include <windows.h>

#include <type_traits>

#include "hostmodel/error.h"

namespace tolvane::win {

namespace {

// Member names, control names and most values are ASCII: those convert unit for unit, without the
// platform's two-pass conversion (which measures, then converts).
template <class Char>
bool ascii(const Char* text, std::size_t length) {
  for (std::size_t i = 0; i < length; ++i) {
    if (static_cast<std::make_unsigned_t<Char>>(text[i]) >= 0x80) return false;
  }
  return true;
}

}  // namespace

std::wstring widen(std::string_view utf8) {
  if (utf8.empty()) return {};
  if (ascii(utf8.data(), utf8.size())) return std::wstring(utf8.begin(), utf8.end());
  const int size = static_cast<int>(utf8.size());
  const int length = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), size, nullptr, 0);
  if (length <= 0) throw host::HostError(host::Failure::TypeMismatch, "text is not UTF-8");
  std::wstring out(static_cast<std::size_t>(length), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, utf8.data(), size, out.data(), length);
  return out;
}

std::string narrow(const wchar_t* text, std::size_t length) {
  if (text == nullptr || length == 0) return {};
  if (ascii(text, length)) return std::string(text, text + length);
  const int size = static_cast<int>(length);
  const int bytes = WideCharToMultiByte(CP_UTF8, 0, text, size, nullptr, 0, nullptr, nullptr);
  if (bytes <= 0) return {};
  std::string out(static_cast<std::size_t>(bytes), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text, size, out.data(), bytes, nullptr, nullptr);
  return out;
}

std::string narrow(std::wstring_view text) { return narrow(text.data(), text.size()); }

}  // namespace tolvane::win
