// Text between the host model's UTF-8 and the platform's UTF-16.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace tolvane::win {

// Throws a TypeMismatch HostError for bytes that are not UTF-8.
std::wstring widen(std::string_view utf8);
// Unpaired surrogates become U+FFFD; null or empty text is "".
std::string narrow(const wchar_t* text, std::size_t length);
std::string narrow(std::wstring_view text);

}  // namespace tolvane::win
