#include "assets/text.h"

#include <gtest/gtest.h>

namespace ot {
namespace {

TEST(Text, InvalidUtf8BecomesReplacementPerMaximalSubpart) {
  const struct {
    std::string_view in;
    std::string_view out;
  } cases[] = {
      {"PAL", "PAL"},
      {"\xC3\xA9", "\xC3\xA9"},  // é stays
      {"A\xFF"
       "B",
       "A\xEF\xBF\xBD"
       "B"},                                                     // a stray byte
      {"\xE2\x82", "\xEF\xBF\xBD"},                              // truncated sequence: one U+FFFD
      {"\xED\xA0\x80", "\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD"},  // encoded surrogate
      {"\xC0\xAF", "\xEF\xBF\xBD\xEF\xBF\xBD"},                  // overlong form
      {"\xF0\x9F\x98\x80", "\xF0\x9F\x98\x80"},                  // four-byte character
  };
  for (const auto& c : cases) EXPECT_EQ(to_text(c.in), c.out) << c.in;
}

TEST(Text, Utf16UnpairedSurrogatesBecomeReplacement) {
  EXPECT_EQ(utf16_to_text(u"A\xD800"
                          "B"),
            "A\xEF\xBF\xBD"
            "B");
  EXPECT_EQ(utf16_to_text(u"\xD83D\xDE00"), "\xF0\x9F\x98\x80");
}

TEST(Text, AsciiCaseFoldingTouchesOnlyLetters) {
  EXPECT_TRUE(ascii_iequal("tobelund.scr", "TOBELUND.SCR"));
  EXPECT_FALSE(ascii_iequal("TOBELUND.SC", "TOBELUND.SCR"));
  EXPECT_FALSE(ascii_iequal("@", "`"));  // 0x40 and 0x60 differ by the case bit but are no letters
  EXPECT_EQ(ascii_upper("zebo\xC3\xA9.pal"), "ZEBO\xC3\xA9.PAL");
}

}  // namespace
}  // namespace ot
