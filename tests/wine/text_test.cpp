// Text between UTF-8 and UTF-16: ASCII takes a shortcut, everything else the platform's conversion;
// both must give the same text.
#include <gtest/gtest.h>

#include <string>

#include "win/text.h"

namespace tolvane::test {
namespace {

using win::narrow;
using win::widen;

TEST(Text, RoundTripsAsciiAndWiderText) {
  struct Case {
    const char* what;
    std::string utf8;
    std::wstring utf16;
  };
  const Case cases[] = {
      {"empty", "", L""},
      {"a member name", "ScaleWidth", L"ScaleWidth"},
      {"ASCII edge", std::string("\x01 ~\x7f", 4), std::wstring(L"\x01 ~\x7f", 4)},
      {"embedded null", std::string("a\0b", 3), std::wstring(L"a\0b", 3)},
      {"accented, after ASCII", "lbl\xc3\xa9t\xc3\xa9", L"lbl\u00e9t\u00e9"},
      {"first unit past ASCII", "\xc2\x80", L"\u0080"},
      {"CJK", "\xe8\xa1\xa8", L"\u8868"},
      {"outside the BMP", "\xf0\x9f\x98\x80", L"\xd83d\xde00"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(widen(c.utf8), c.utf16);
    EXPECT_EQ(narrow(c.utf16), c.utf8);
  }
}

TEST(Text, AnUnpairedSurrogateNarrowsToTheReplacementCharacter) {
  EXPECT_EQ(narrow(std::wstring(L"a\xd800", 2)), "a\xef\xbf\xbd");
  EXPECT_EQ(narrow(nullptr, 3), "");
}

}  // namespace
}  // namespace tolvane::test
